#include "FakeDialogPresenter.h"
#include "FakeMovieEngine.h"
#include "FakeScheduler.h"
#include "TestHome.h"

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QSplitter>
#include <QTest>

using namespace tetrapan;

namespace {

struct App {
    test::TestHome home;
    SettingsDomain settings{home.settingsFile()};
    test::FakeScheduler scheduler;
    test::FakeDialogPresenter dialogs;
    test::FakeMovieEngine engine;
    std::unique_ptr<MainNib> nib;

    App()
    {
        Tetrapan_AppDelegate::setupDefaults(settings);
        nib = std::make_unique<MainNib>(NibServices{settings, scheduler, dialogs, engine});
    }
};

QAction* findAction(QMenuBar* bar, const QString& menuTitle, const QString& actionText)
{
    for (QAction* menuAction : bar->actions()) {
        if (menuAction->text().remove(QLatin1Char('&')) != menuTitle || !menuAction->menu())
            continue;
        for (QAction* action : menuAction->menu()->actions()) {
            if (action->text().remove(QLatin1Char('&')).startsWith(actionText))
                return action;
        }
    }
    return nullptr;
}

} // namespace

class TestMainNib : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void panesSitInTheirCorners()
    {
        App app;
        MainWindow& window = app.nib->mainWindow();
        QCOMPARE(window.windowTitle(), QStringLiteral("Tetrapan"));
        window.resize(800, 600);
        app.nib->showWindows();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto centre = [&](int viewNo) {
            QWidget* slot = window.paneSlot(viewNo);
            return slot->mapTo(&window, slot->rect().center());
        };
        QVERIFY(centre(1).x() < centre(3).x() && centre(1).y() < centre(2).y()); // 1 top left
        QVERIFY(centre(2).x() < centre(4).x() && centre(2).y() > centre(1).y()); // 2 bottom left
        QVERIFY(centre(3).x() > centre(1).x() && centre(3).y() < centre(4).y()); // 3 top right
        QVERIFY(centre(4).x() > centre(2).x() && centre(4).y() > centre(3).y()); // 4 bottom right
        // three nested splitters, the outer one side by side
        QCOMPARE(window.spvMain()->orientation(), Qt::Horizontal);
        QCOMPARE(window.spvLeft()->orientation(), Qt::Vertical);
        QCOMPARE(window.spvRight()->orientation(), Qt::Vertical);
        QCOMPARE(window.spvMain()->widget(0), window.spvLeft());
        // and even to begin with
        const QList<int> sizes = window.spvMain()->sizes();
        QVERIFY(qAbs(sizes[0] - sizes[1]) <= 1);
    }

    void menusCarryTheCommands()
    {
        App app;
        QMenuBar* bar = app.nib->mainWindow().menuBar();
        const struct {
            const char* menu;
            const char* action;
            QKeySequence keys;
        } expected[] = {
            {"File", "Save", QKeySequence(QStringLiteral("Ctrl+S"))},
            {"File", "Quit", QKeySequence(QStringLiteral("Ctrl+Q"))},
            {"Edit", "Undo", QKeySequence(QStringLiteral("Ctrl+Z"))},
            {"Edit", "Redo", QKeySequence(QStringLiteral("Ctrl+Shift+Z"))},
        };
        for (const auto& e : expected) {
            QAction* action = findAction(bar, QString::fromLatin1(e.menu), QString::fromLatin1(e.action));
            QVERIFY2(action, e.action);
            QCOMPARE(action->shortcut(), e.keys);
        }
    }

    void saveAndUndoGoThroughTheLibrary()
    {
        App app;
        MainWindow& window = app.nib->mainWindow();
        QVERIFY(!window.undoAction()->isEnabled());
        ObjectContext* ctx = app.nib->appDelegate().managedObjectContext();
        const ObjectId id = ctx->insertNewObject(LibrarySchema::Playlist);
        ctx->processPendingChanges();
        QVERIFY(window.undoAction()->isEnabled());

        window.saveAction()->trigger();
        QVERIFY(QFileInfo::exists(app.home.libraryFile()));
        QVERIFY(!ctx->hasChanges());

        window.undoAction()->trigger();
        QVERIFY(!ctx->contains(id));
        QVERIFY(window.redoAction()->isEnabled());
        window.redoAction()->trigger();
        QVERIFY(ctx->contains(id));
    }

    void closingTheWindowIsAQuitRequest()
    {
        App app;
        MainWindow& window = app.nib->mainWindow();
        app.nib->showWindows();
        ObjectContext* ctx = app.nib->appDelegate().managedObjectContext();
        ctx->insertNewObject(LibrarySchema::Playlist);
        ctx->processPendingChanges();
        QVERIFY(QDir().mkpath(app.home.libraryFile())); // saving will fail
        app.dialogs.alertAnswers = {1001};               // "Cancel"
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        QVERIFY(!app.nib->appDelegate().isTerminating());

        QVERIFY(QDir().rmdir(app.home.libraryFile()));
        QVERIFY(window.close());
        QVERIFY(app.nib->appDelegate().isTerminating());
        QVERIFY(QFileInfo(app.home.libraryFile()).isFile());
    }
};

QTEST_MAIN(TestMainNib)
#include "tst_mainnib.moc"
