// The program's manners as a desktop program, on the whole application on fakes: the menus' keys answer from
// every window, every control has a name for screen readers or a tool tip (a picture-only button both, and
// its picture), the colours come from the desktop's theme, and the README's table of keys is the program's
// own. (The keys of the real program on a real X server: tst_desktopapplication.)
#include "OpenAndWait.h"
#include "AppFixture.h"

#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewPrefs.h"
#include "playlist/ViewPlaylist.h"
#include "shell/DesktopFileViewer.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTextEdit>
#include <QWidgetAction>
#include <QWindow>

using namespace tetrapan;
using tetrapan::test::AppFixture;

namespace {

const QString ReadmeKeysStart = QStringLiteral("<!-- keys: written by tst_desktopintegration -->\n");
const QString ReadmeKeysEnd = QStringLiteral("<!-- end of keys -->");

QWidget* windowNamed(AppFixture& f, const QString& name)
{
    if (name == QLatin1String("main"))
        return &f.window();
    if (name == QLatin1String("playlist"))
        return &f.nib->playlistWindow();
    if (name == QLatin1String("palette"))
        return &f.nib->controlWindow();
    if (name == QLatin1String("preferences"))
        return &f.nib->prefsWindow();
    return &f.nib->helpWindow();
}

bool makeActive(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

QList<QAction*> menuItems(const QMenu* menu)
{
    QList<QAction*> items;
    for (QAction* action : menu->actions()) {
        if (action->menu())
            items += menuItems(action->menu());
        else if (!action->isSeparator())
            items << action;
    }
    return items;
}

QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

} // namespace

class TestDesktopIntegration : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void menuItemsWithKeysAnswerEverywhere()
    {
        AppFixture f;
        for (QAction* top : f.window().menuBar()->actions()) {
            for (QAction* item : menuItems(top->menu())) {
                if (item->shortcut().isEmpty())
                    continue;
                // a key that types or rubs out a character (the frame steps' "." and ",", the speed's "[" and
                // Backspace) would be taken from the other windows' text fields: it answers in the main
                // window (and the palette, which has none)
                const QKeyCombination key = item->shortcut()[0];
                const bool types = key.keyboardModifiers() == Qt::NoModifier &&
                                   ((key.key() >= Qt::Key_Space && key.key() <= Qt::Key_AsciiTilde) ||
                                    key.key() == Qt::Key_Backspace);
                QVERIFY2(item->shortcutContext() == (types ? Qt::WindowShortcut : Qt::ApplicationShortcut),
                         qPrintable(item->text()));
            }
        }
    }

    // Each menu key typed in each window, in turn: the command answers there.
    void menuKeysAnswerInEveryWindow_data()
    {
        QTest::addColumn<QString>("window");
        for (const char* window : {"main", "playlist", "palette", "preferences", "help"})
            QTest::newRow(window) << QString::fromLatin1(window);
    }

    void menuKeysAnswerInEveryWindow()
    {
        QFETCH(QString, window);
        AppFixture f;
        f.showWindow(800, 500);
        f.nib->showWindows();
        // each window takes the keyboard as it opens; the one typed in takes it last
        f.nib->viewPlaylist().openPlaylistWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.playlistWindow()));
        f.nib->viewPrefs().openPrefsWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.nib->prefsWindow()));
        f.nib->viewPrefs().openHelpWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.nib->helpWindow()));
        QWidget* typingIn = windowNamed(f, window);
        const auto type = [typingIn](QKeyCombination key) {
            QVERIFY(makeActive(typingIn));
            QTest::keyClick(typingIn->windowHandle(), key.key(), key.keyboardModifiers());
        };

        QVERIFY(!f.window().undoAction()->isEnabled());
        f.playlist(QStringLiteral("Angles"));
        // the change becomes one undo step when the event loop turns
        QCoreApplication::processEvents();
        type(Qt::ControlModifier | Qt::Key_S);
        QVERIFY(test::readAll(f.home.libraryFile()).contains("title=\"Angles\""));
        QVERIFY(!f.ctx().hasChanges());
        type(Qt::ControlModifier | Qt::Key_Z);
        QVERIFY(f.ctx().fetch(LibrarySchema::Playlist).isEmpty());
        type(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Z);
        QCOMPARE(f.ctx().fetch(LibrarySchema::Playlist).size(), 1);

        for (int n = 1; n <= 4; ++n)
            QVERIFY(test::openInPane(f.pane(n), QStringLiteral("/clips/%1.mp4").arg(n)));
        type(Qt::ControlModifier | Qt::Key_3);
        QCOMPARE(f.coordinator().displayedViewNo(), 3);
        QCOMPARE(QApplication::activeWindow(), typingIn);

        // the windows open, and those of the Window menu open and close, from here too
        for (const auto& [key, target] :
             {std::pair{Qt::ControlModifier | Qt::Key_Comma, windowNamed(f, "preferences")},
              std::pair{QKeyCombination(Qt::Key_F1), windowNamed(f, "help")}}) {
            if (target != typingIn)
                target->close();
            type(key);
            QVERIFY(target->isVisible());
        }
        for (const auto& [key, target] :
             {std::pair{Qt::ControlModifier | Qt::Key_L, windowNamed(f, "playlist")},
              std::pair{Qt::ControlModifier | Qt::Key_K, windowNamed(f, "palette")}}) {
            const bool wasOpen = target->isVisible();
            type(key);
            QCOMPARE(target->isVisible(), !wasOpen);
        }
        type(Qt::ControlModifier | Qt::Key_Q);
        QVERIFY(f.nib->appDelegate().isTerminating());
    }

    void renamingTakesItsOwnKeys()
    {
        AppFixture f;
        f.showWindow(800, 500);
        f.nib->viewPlaylist().openPlaylistWindow();
        PlaylistWindow& playlists = f.nib->playlistWindow();
        QVERIFY(makeActive(&playlists));
        const ObjectId node = f.playlist(QStringLiteral("Angles"));
        f.select(node);
        PlaylistOutlineView& tree = f.nib->olvPlaylist();
        tree.setFocus();
        // F2, shown in the row's menu, opens the title for typing; Ctrl+Z there undoes the typing only
        QTest::keyClick(playlists.windowHandle(), Qt::Key_F2);
        QTRY_VERIFY(tree.isEditing());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("X"));
        QTest::keyClick(playlists.windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.ctx().fetch(LibrarySchema::Playlist).size(), 1);
        QTest::keyClick(playlists.windowHandle(), Qt::Key_Escape);
        QCOMPARE(f.ctx().value(node, LibrarySchema::Title).toString(), QStringLiteral("Angles"));
    }

    // With every window open on a dark theme, as a desktop in dark mode hands it over: every control has a
    // name for screen readers or a tool tip, and its colours are the theme's.
    void everyControlIsNamedAndThemed()
    {
        const QPalette before = QApplication::palette();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        // window text, button, light, dark, mid, text, bright text, base and window colours
        const QColor text(230, 230, 230);
        const QPalette dark(text, QColor(55, 55, 60), QColor(80, 80, 85), QColor(20, 20, 20),
                            QColor(40, 40, 44), text, Qt::white, QColor(30, 30, 30), QColor(45, 45, 48));
        QApplication::setPalette(dark);

        AppFixture f;
        f.showWindow(800, 500);
        f.nib->showWindows();
        f.nib->viewPrefs().openPrefsWindow();
        f.nib->viewPrefs().openHelpWindow();
        f.select(f.playlist(QStringLiteral("Angles")));
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(test::openInPane(f.pane(n), QStringLiteral("/clips/%1.mp4").arg(n)));
            f.pane(n).setMovieController(true);
        }
        // menus made as they open are made now
        for (QMenu* menu : f.window().findChildren<QMenu*>())
            Q_EMIT menu->aboutToShow();

        QStringList faults;
        int controls = 0;
        int actions = 0;
        for (QWidget* widget : QApplication::allWidgets()) {
            const QString name = QStringLiteral("%1 %2 in %3")
                                     .arg(QString::fromLatin1(widget->metaObject()->className()),
                                          widget->objectName(), widget->window()->windowTitle());
            // parts Qt makes of a control (a tool bar's overflow, scroll bars, headers) are read out with the
            // control they belong to
            const bool qtPart = widget->objectName().startsWith(QLatin1String("qt_"));
            const bool part = qtPart || widget->inherits("QScrollBar") || widget->inherits("QHeaderView");
            for (QAction* action : qtPart ? QList<QAction*>() : widget->actions()) {
                // a widget put in a tool bar stands for itself, and is looked at as a control
                if (action->isSeparator() || qobject_cast<QWidgetAction*>(action))
                    continue;
                ++actions;
                if (QString(action->text()).remove(QLatin1Char('&')).trimmed().isEmpty() &&
                    action->toolTip().isEmpty())
                    faults
                        << QStringLiteral("no name for an action %1 of %2").arg(action->objectName(), name);
            }
            if (!widget->isVisibleTo(widget->window()))
                continue;
            const QPalette& own = widget->palette();
            for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
                if (own.color(role) != dark.color(role))
                    faults << QStringLiteral("the colours of ") + name;
            }
            // Only the panes' picture area is black whatever the theme; every other background that is
            // filled is the theme's.
            const QPalette::ColorRole role = widget->backgroundRole();
            const bool picture = role == QPalette::Window && own.color(role) == Qt::black &&
                                 (widget->inherits("tetrapan::QTMovieSubView") ||
                                  widget->objectName().startsWith(QLatin1String("paneSlot")));
            if ((widget->autoFillBackground() || widget->isWindow()) && own.color(role) != dark.color(role) &&
                !picture)
                faults << QStringLiteral("the background of ") + name;
            const bool control =
                qobject_cast<QAbstractButton*>(widget) || qobject_cast<QAbstractSlider*>(widget) ||
                qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
                qobject_cast<QTextEdit*>(widget) || widget->inherits("tetrapan::QTMovieSubView");
            if (part || !control)
                continue;
            ++controls;
            if (accessibleName(widget).isEmpty() && widget->toolTip().isEmpty())
                faults << QStringLiteral("no name for ") + name;
            // a button that shows only a picture has both, and the picture
            const auto* button = qobject_cast<QAbstractButton*>(widget);
            if (button && button->text().isEmpty() &&
                (accessibleName(widget).isEmpty() || button->toolTip().isEmpty() ||
                 button->icon().pixmap(button->iconSize()).isNull()))
                faults << QStringLiteral("no name, tool tip or picture for ") + name;
        }
        QApplication::setPalette(before);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
        QVERIFY(controls >= 40);
        QVERIFY(actions >= 40);
    }

    void readmeKeysAreTheProgramsKeys()
    {
        AppFixture f;
        const QString table = f.nib->helpWindow().shortcutList().toMarkdown();
        const QString path = QStringLiteral(TETRAPAN_SOURCE_DIR "/README.md");
        QString readme = QString::fromUtf8(test::readAll(path));
        const qsizetype start = readme.indexOf(ReadmeKeysStart);
        const qsizetype end = readme.indexOf(ReadmeKeysEnd);
        QVERIFY2(start >= 0 && end > start, "README.md has no table of keys");
        const qsizetype from = start + ReadmeKeysStart.size();
        if (qEnvironmentVariableIsSet("TETRAPAN_WRITE_README")) {
            readme.replace(from, end - from, table);
            QVERIFY(test::writeAll(path, readme.toUtf8()));
            return;
        }
        QVERIFY2(readme.mid(from, end - from) == table,
                 qPrintable(
                     QStringLiteral("README.md's keys differ from the program's; run "
                                    "TETRAPAN_WRITE_README=1 xvfb-run -a tests/shell/tst_desktopintegration "
                                    "readmeKeysAreTheProgramsKeys to write them:\n") +
                     table));
    }

    // Show in File Manager on a desktop without a file manager: the folder is tried, then the user is told
    void showingAFileWithoutAFileManager_data()
    {
        QTest::addColumn<bool>("folderOpens");
        QTest::newRow("the folder opens") << true;
        QTest::newRow("nothing opens it") << false;
    }
    void showingAFileWithoutAFileManager()
    {
        QFETCH(bool, folderOpens);
        test::FakeDialogPresenter dialogs;
        QList<QUrl> opened;
        DesktopFileViewer viewer(dialogs, QDBusConnection(QStringLiteral("no session bus")),
                                 [&](const QUrl& folder) {
                                     opened << folder;
                                     return folderOpens;
                                 });
        viewer.selectFile(QStringLiteral("/clips/trip/1.mp4"));
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/clips/trip"))});
        QCOMPARE(dialogs.alerts.size(), folderOpens ? 0 : 1);
        if (!folderOpens)
            QCOMPARE(dialogs.alerts.front().informativeText,
                     QStringLiteral("The file is in the folder /clips/trip."));
    }
};

QTEST_MAIN(TestDesktopIntegration)
#include "tst_desktopintegration.moc"
