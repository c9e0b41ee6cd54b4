#include "FakeDialogPresenter.h"
#include "FakeMovieEngine.h"
#include "FakeScheduler.h"
#include "TestHome.h"

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/StoreCoordinator.h"
#include "shell/LastStateKeeper.h"
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
using namespace std::chrono_literals;

namespace {

struct CountingKeeper final : LastStateKeeper {
    int calls = 0;
    void storeLastState() override { ++calls; }
};

// One delegate with everything it talks to, or the whole main window around one, in a home of its own.
struct Harness {
    test::TestHome home;
    SettingsDomain settings{home.settingsFile()};
    test::FakeScheduler scheduler;
    test::FakeDialogPresenter dialogs;
    test::FakeMovieEngine engine;
    CountingKeeper keeper;
    std::unique_ptr<Tetrapan_AppDelegate> delegate;
    std::unique_ptr<MainNib> nib;

    explicit Harness(bool windows = false)
    {
        Tetrapan_AppDelegate::setupDefaults(settings);
        if (windows)
            nib = std::make_unique<MainNib>(NibServices{settings, scheduler, dialogs, engine});
        else
            restart();
    }

    // a new run of the program on the same home
    void restart()
    {
        delegate.reset();
        delegate = std::make_unique<Tetrapan_AppDelegate>(settings, scheduler, dialogs);
        delegate->olvPlaylist = &keeper;
    }

    ObjectId addPlaylist(const QString& title)
    {
        ObjectContext* ctx = delegate->managedObjectContext();
        const ObjectId id = ctx->insertNewObject(LibrarySchema::Playlist);
        ctx->setValue(id, QStringLiteral("title"), title);
        ctx->processPendingChanges();
        return id;
    }

    QStringList titles()
    {
        ObjectContext* ctx = delegate->managedObjectContext();
        QStringList result;
        for (ObjectId id : ctx->fetch(LibrarySchema::Playlist))
            result << ctx->value(id, QStringLiteral("title")).toString();
        return result;
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

// The delegate (start, quit, saving) and the main window built around it.
class TestAppDelegate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void libraryFolderAppearsOnFirstUseOnly()
    {
        Harness h;
        const QString folder = h.delegate->applicationSupportFolder();
        QCOMPARE(folder, h.home.dataHome() + QStringLiteral("/Tetrapan"));
        QVERIFY(!QFileInfo::exists(folder));
        h.delegate->prefetchLibrary(); // reading ahead creates nothing
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QVERIFY2(!QFileInfo::exists(folder), "quitting must not open the library");
        QCOMPARE(h.keeper.calls, 1);

        QVERIFY(h.delegate->managedObjectContext());
        QVERIFY(QFileInfo(folder).isDir());
        // an untouched library is not written
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QVERIFY(!QFileInfo::exists(h.home.libraryFile()));
        QCOMPARE(h.keeper.calls, 2);
    }

    void quitSavesAndTheNextRunReadsIt()
    {
        Harness h;
        h.addPlaylist(QStringLiteral("Cameras"));
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QVERIFY(h.dialogs.errors.isEmpty());
        h.restart();
        QCOMPARE(h.titles(), QStringList{QStringLiteral("Cameras")});
        QVERIFY(!h.delegate->managedObjectContext()->hasChanges());
    }

    void quitWaitsForAnEditThatWillNotEnd()
    {
        Harness h;
        h.addPlaylist(QStringLiteral("A"));
        h.delegate->managedObjectContext()->addEditingCommitter([] { return false; });
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateCancel));
        QVERIFY(!QFileInfo::exists(h.home.libraryFile()));
    }

    void failedSaveAtQuitAsksTheUser_data()
    {
        QTest::addColumn<bool>("errorResolved");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("alertsShown");
        QTest::newRow("quit anyway") << false << 1000 << int(Tetrapan_AppDelegate::TerminateNow) << 1;
        QTest::newRow("cancel") << false << 1001 << int(Tetrapan_AppDelegate::TerminateCancel) << 1;
        QTest::newRow("error resolved") << true << 1000 << int(Tetrapan_AppDelegate::TerminateCancel) << 0;
    }

    void failedSaveAtQuitAsksTheUser()
    {
        QFETCH(bool, errorResolved);
        QFETCH(int, answer);
        QFETCH(int, expected);
        QFETCH(int, alertsShown);
        Harness h;
        h.addPlaylist(QStringLiteral("A"));
        // a folder where the file should be makes every save fail
        QVERIFY(QDir().mkpath(h.home.libraryFile()));
        h.dialogs.errorAnswers = {errorResolved};
        h.dialogs.alertAnswers = {answer};
        QCOMPARE(h.delegate->applicationShouldTerminate(), expected);
        QCOMPARE(h.dialogs.errors.size(), 1);
        QCOMPARE(h.dialogs.alerts.size(), alertsShown);
        if (alertsShown) {
            const AlertRequest& alert = h.dialogs.alerts.front();
            QCOMPARE(alert.messageText,
                     QStringLiteral("Could not save changes while quitting. Quit anyway?"));
            QCOMPARE(alert.buttons, (QStringList{QStringLiteral("Quit anyway"), QStringLiteral("Cancel")}));
        }
    }

    void damagedLibraryIsNeverWritten()
    {
        Harness h;
        const QByteArray damaged = "<?xml version=\"1.0\"?>\n<tetrapan-library version=\"1\">\n"
                                   "  <playlist id=\"1\" title=\"Kept\"/>\n  <playlist id=\"1\"/>\n";
        QVERIFY(test::writeAll(h.home.libraryFile(), damaged));
        ObjectContext* ctx = h.delegate->managedObjectContext();
        QVERIFY(ctx);
        QCOMPARE(h.dialogs.errors.size(), 1);
        QCOMPARE(h.dialogs.errors.front().filePath, h.home.libraryFile());
        QVERIFY(h.dialogs.errors.front().line > 0);

        h.addPlaylist(QStringLiteral("New"));
        h.delegate->saveAction();
        QCOMPARE(h.dialogs.errors.size(), 2);
        h.scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay * 2);
        h.dialogs.alertAnswers = {1000};
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QCOMPARE(test::readAll(h.home.libraryFile()), damaged);
        QVERIFY(!QFileInfo::exists(h.home.libraryFile() + QStringLiteral(".damaged")));
    }

    void changesReachTheDiskAfterAPause()
    {
        Harness h;
        h.addPlaylist(QStringLiteral("A"));
        h.scheduler.advance(1500ms);
        h.addPlaylist(QStringLiteral("B"));
        h.scheduler.advance(1500ms);
        QVERIFY2(!QFileInfo::exists(h.home.libraryFile()), "each change restarts the pause");
        h.scheduler.advance(500ms);
        QVERIFY(QFileInfo::exists(h.home.libraryFile()));
        QVERIFY(!h.delegate->managedObjectContext()->hasChanges());

        // a crash now loses nothing: a new run on the same home sees both
        h.restart();
        QCOMPARE(h.titles(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    }

    void failingAutosaveSpeaksOnce()
    {
        Harness h;
        h.delegate->managedObjectContext();
        QVERIFY(QDir().mkpath(h.home.libraryFile()));
        h.addPlaylist(QStringLiteral("A"));
        h.scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay);
        h.addPlaylist(QStringLiteral("B"));
        h.scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay);
        QCOMPARE(h.dialogs.errors.size(), 1);
        QVERIFY(h.delegate->managedObjectContext()->hasChanges());
    }

    void panesSitInTheirCorners()
    {
        Harness app(true);
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
        // the halves even to begin with
        const QList<int> sizes = window.spvMain()->sizes();
        QVERIFY(qAbs(sizes[0] - sizes[1]) <= 1);
    }

    void menusCarryTheCommands()
    {
        Harness app(true);
        QMenuBar* bar = app.nib->mainWindow().menuBar();
        for (const char* entry : {"File/Save/Ctrl+S", "File/Quit/Ctrl+Q", "Edit/Undo/Ctrl+Z", "Edit/Redo/Ctrl+Shift+Z"}) {
            const QString e = QString::fromLatin1(entry);
            const QStringList part = e.split(QLatin1Char('/'));
            QAction* action = findAction(bar, part[0], part[1]);
            QVERIFY2(action, qPrintable(e));
            QCOMPARE(action->shortcut(), QKeySequence(part[2]));
        }
    }

    void saveAndUndoGoThroughTheLibrary()
    {
        Harness app(true);
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
        Harness app(true);
        MainWindow& window = app.nib->mainWindow();
        app.nib->showWindows();
        ObjectContext* ctx = app.nib->appDelegate().managedObjectContext();
        ctx->insertNewObject(LibrarySchema::Playlist);
        ctx->processPendingChanges();
        QVERIFY(QDir().mkpath(app.home.libraryFile())); // saving will fail
        app.dialogs.alertAnswers = {1001};              // "Cancel"
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        QVERIFY(!app.nib->appDelegate().isTerminating());

        QVERIFY(QDir().rmdir(app.home.libraryFile()));
        QVERIFY(window.close());
        QVERIFY(app.nib->appDelegate().isTerminating());
        QVERIFY(QFileInfo(app.home.libraryFile()).isFile());
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
