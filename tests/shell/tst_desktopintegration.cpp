// The program's manners as a desktop program, on the whole application on fakes: the menus' keys answer from
// every window, every control has a name for screen readers or a tool tip, the colours come from the
// desktop's theme, and the README's table of keys is the program's own. (The keys of the real program on a
// real X server: tst_desktopapplication.)
#include "LayoutFixture.h"

#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "palette/ShortcutList.h"
#include "palette/ViewPrefs.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/ViewPlaylist.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTextEdit>
#include <QWidgetAction>
#include <QWindow>

using namespace tetrapan;
using tetrapan::test::LayoutFixture;

namespace {

const QString ReadmeKeysStart = QStringLiteral("<!-- keys: written by tst_desktopintegration -->\n");
const QString ReadmeKeysEnd = QStringLiteral("<!-- end of keys -->");

QWidget* windowNamed(LayoutFixture& f, const QString& name)
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
        LayoutFixture f;
        for (QAction* top : f.window().menuBar()->actions()) {
            for (QAction* item : menuItems(top->menu())) {
                if (item->shortcut().isEmpty())
                    continue;
                // a key that types a character (the frame steps' "." and ",") would be taken from the other
                // windows' text fields: it answers in the main window only
                const QKeyCombination key = item->shortcut()[0];
                const bool types = key.keyboardModifiers() == Qt::NoModifier && key.key() >= Qt::Key_Space &&
                                   key.key() <= Qt::Key_AsciiTilde;
                QVERIFY2(item->shortcutContext() == (types ? Qt::WindowShortcut : Qt::ApplicationShortcut),
                         qPrintable(item->text()));
            }
        }
    }

    void saveUndoAndLayoutFromEveryWindow_data()
    {
        QTest::addColumn<QString>("window");
        for (const char* window : {"main", "playlist", "palette", "preferences", "help"})
            QTest::newRow(window) << QString::fromLatin1(window);
    }

    void saveUndoAndLayoutFromEveryWindow()
    {
        QFETCH(QString, window);
        LayoutFixture f;
        f.showWindow(800, 500);
        f.nib->showWindows();
        // each window takes the keyboard as it opens; the one typed in takes it last
        f.nib->viewPlaylist().openPlaylistWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.nib->playlistWindow()));
        f.nib->viewPrefs().openPrefsWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.nib->prefsWindow()));
        f.nib->viewPrefs().openHelpWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.nib->helpWindow()));
        QWidget* typingIn = windowNamed(f, window);
        QVERIFY(makeActive(typingIn));

        f.playlist(QStringLiteral("Angles"));
        // the change becomes one undo step when the event loop turns
        QCoreApplication::processEvents();
        QTest::keyClick(typingIn->windowHandle(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(test::readAll(f.home.libraryFile()).contains("title=\"Angles\""));

        QTest::keyClick(typingIn->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(f.context().fetch(LibrarySchema::Playlist).isEmpty());
        QTest::keyClick(typingIn->windowHandle(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.context().fetch(LibrarySchema::Playlist).size(), 1);

        for (int n = 1; n <= 4; ++n)
            QVERIFY(f.pane(n).createMovieView(QStringLiteral("/clips/%1.mp4").arg(n)));
        QTest::keyClick(typingIn->windowHandle(), Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(f.coordinator().displayedViewNo(), 3);
        QCOMPARE(QApplication::activeWindow(), typingIn);
    }

    void renamingTakesItsOwnKeys()
    {
        LayoutFixture f;
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
        QCOMPARE(f.context().fetch(LibrarySchema::Playlist).size(), 1);
        QTest::keyClick(playlists.windowHandle(), Qt::Key_Escape);
        QCOMPARE(f.context().value(node, LibrarySchema::Title).toString(), QStringLiteral("Angles"));
    }

    void everyControlHasANameOrATip()
    {
        LayoutFixture f;
        f.showWindow(800, 500);
        f.nib->showWindows();
        f.nib->viewPlaylist().openPlaylistWindow();
        f.nib->viewPrefs().openPrefsWindow();
        f.nib->viewPrefs().openHelpWindow();
        f.select(f.playlist(QStringLiteral("Angles")));
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(f.pane(n).createMovieView(QStringLiteral("/clips/%1.mp4").arg(n)));
            f.pane(n).setMovieController(true);
        }
        // menus made as they open are made now
        for (QMenu* menu : f.window().findChildren<QMenu*>())
            Q_EMIT menu->aboutToShow();

        QStringList nameless;
        int controls = 0;
        for (QWidget* widget : QApplication::allWidgets()) {
            const bool control =
                qobject_cast<QAbstractButton*>(widget) || qobject_cast<QAbstractSlider*>(widget) ||
                qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
                qobject_cast<QTextEdit*>(widget) || widget->inherits("tetrapan::QTMovieSubView");
            // Parts Qt makes of a control (scroll bars, headers, a tool bar's overflow) are read out with the
            // control they belong to.
            if (!control || !widget->isVisibleTo(widget->window()) || widget->inherits("QScrollBar") ||
                widget->inherits("QHeaderView") || widget->objectName().startsWith(QLatin1String("qt_")))
                continue;
            ++controls;
            if (accessibleName(widget).isEmpty() && widget->toolTip().isEmpty())
                nameless << QStringLiteral("%1 %2 in %3")
                                .arg(QString::fromLatin1(widget->metaObject()->className()),
                                     widget->objectName(), widget->window()->windowTitle());
        }
        int actions = 0;
        for (QWidget* widget : QApplication::allWidgets()) {
            if (widget->objectName().startsWith(QLatin1String("qt_")))
                continue;
            for (QAction* action : widget->actions()) {
                // a widget put in a tool bar stands for itself, and is looked at as a control
                if (action->isSeparator() || qobject_cast<QWidgetAction*>(action))
                    continue;
                ++actions;
                if (QString(action->text()).remove(QLatin1Char('&')).trimmed().isEmpty() &&
                    action->toolTip().isEmpty())
                    nameless << QStringLiteral("an action %1 of %2 %3")
                                    .arg(action->objectName(),
                                         QString::fromLatin1(widget->metaObject()->className()),
                                         widget->objectName());
            }
        }
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral("; "))));
        QVERIFY(controls >= 40);
        QVERIFY(actions >= 40);
    }

    void coloursComeFromTheTheme()
    {
        const QPalette before = QApplication::palette();
        QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"));
        QApplication::setStyle(style);
        // a dark theme, as a desktop in dark mode hands it over
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(45, 45, 48));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::AlternateBase, QColor(40, 40, 44));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::Button, QColor(55, 55, 60));
        dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
        QApplication::setPalette(dark);

        LayoutFixture f;
        f.showWindow(800, 500);
        f.nib->showWindows();
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(f.pane(n).createMovieView(QStringLiteral("/clips/%1.mp4").arg(n)));
            f.pane(n).setMovieController(true);
        }
        QStringList fixed;
        const auto name = [](QWidget* widget) {
            return QStringLiteral("%1 %2").arg(QString::fromLatin1(widget->metaObject()->className()),
                                               widget->objectName());
        };
        for (QWidget* widget : QApplication::allWidgets()) {
            if (!widget->isVisibleTo(widget->window()))
                continue;
            const QPalette& own = widget->palette();
            for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
                if (own.color(role) != dark.color(role))
                    fixed << name(widget);
            }
            // Only the panes' picture area is black whatever the theme; every other background that is
            // filled is the theme's.
            if (!widget->autoFillBackground() && !widget->isWindow())
                continue;
            const QPalette::ColorRole role = widget->backgroundRole();
            const bool picture = role == QPalette::Window && own.color(role) == Qt::black &&
                                 (widget->inherits("tetrapan::QTMovieSubView") ||
                                  widget->objectName().startsWith(QLatin1String("paneSlot")));
            if (own.color(role) != dark.color(role) && !picture)
                fixed << QStringLiteral("the background of ") + name(widget);
        }
        QApplication::setPalette(before);
        QVERIFY2(fixed.isEmpty(), qPrintable(fixed.join(QStringLiteral("; "))));
    }

    void readmeKeysAreTheProgramsKeys()
    {
        LayoutFixture f;
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
};

QTEST_MAIN(TestDesktopIntegration)
#include "tst_desktopintegration.moc"
