// The preferences and help windows on the fake engine: what the preferences edit reaches the panes and the
// lists at once, both windows keep their place, and the help lists every key the program answers to.
#include "LayoutFixture.h"

#include "engine/Movie.h"
#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/ListFontSize.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewPrefs.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/FilelistTableView.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QSpinBox>
#include <QTextBrowser>

#include <algorithm>

using namespace tetrapan;
using tetrapan::test::LayoutFixture;

namespace {

const QString OptPlayVolume = QStringLiteral("optPlayVolume");

// What the next start would read.
QVariant onDisk(LayoutFixture& f, const QString& key)
{
    return SettingsDomain(f.home.settingsFile()).objectForKey(key);
}

QAction* menuItem(MainWindow& window, const QString& menuTitle, const QString& itemText)
{
    for (QAction* top : window.menuBar()->actions()) {
        if (!top->menu() || top->text() != menuTitle)
            continue;
        for (QAction* item : top->menu()->actions()) {
            if (item->text() == itemText)
                return item;
        }
    }
    return nullptr;
}

} // namespace

class TestViewPrefs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void volumeReachesEveryPaneAtOnce()
    {
        LayoutFixture f;
        f.showWindow();
        for (int n = 1; n <= 4; ++n)
            QVERIFY(f.pane(n).createMovieView(QStringLiteral("/clips/%1.mp4").arg(n)));
        f.pane(2).setMovieMuted(true);
        PrefsWindow& prefs = f.nib->prefsWindow();
        f.nib->viewPrefs().openPrefsWindow();
        QVERIFY(prefs.isVisible());
        // movies start silent, and the window says why
        QVERIFY(prefs.volumeHint()->isVisible());
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(f.pane(n).movie()->volume(), 0.0f);

        for (int step = 0; step < 3; ++step)
            QTest::keyClick(prefs.volumeSlider(), Qt::Key_PageUp);
        // no turn of the event loop in between: every pane already has it
        QCOMPARE(prefs.volumeSlider()->value(), 30);
        for (int n : {1, 3, 4})
            QCOMPARE(f.pane(n).movie()->volume(), 0.3f);
        QCOMPARE(f.pane(2).movie()->volume(), 0.0f); // muted stays silent
        QCOMPARE(onDisk(f, OptPlayVolume).toFloat(), 0.3f);
        QVERIFY(!prefs.volumeHint()->isVisible());

        // unmuting a pane gives it the volume set; a movie loaded later gets it too
        f.pane(2).setMovieMuted(false);
        QCOMPARE(f.pane(2).movie()->volume(), 0.3f);
        QVERIFY(f.pane(1).createMovieView(QStringLiteral("/clips/other.mp4")));
        QCOMPARE(f.pane(1).movie()->volume(), 0.3f);

        QTest::keyClick(prefs.volumeSlider(), Qt::Key_Home);
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(f.pane(n).movie()->volume(), 0.0f);
        QVERIFY(prefs.volumeHint()->isVisible());
    }

    void controlsAndSettingsStayInStep_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("edited");
        QTest::addColumn<QVariant>("elsewhere");
        QTest::newRow("volume") << OptPlayVolume << QVariant(0.45) << QVariant(0.8);
        QTest::newRow("skip step") << QStringLiteral("optSkipTime") << QVariant(2.5) << QVariant(30.0);
        QTest::newRow("frame sets") << QStringLiteral("optLoadFrameSet") << QVariant(false) << QVariant(true);
        QTest::newRow("list text size") << QStringLiteral("optFontSizeList") << QVariant(16) << QVariant(20);
    }

    void controlsAndSettingsStayInStep()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, edited);
        QFETCH(QVariant, elsewhere);
        LayoutFixture f;
        PrefsWindow& prefs = f.nib->prefsWindow();
        const auto shown = [&]() -> QVariant {
            if (key == OptPlayVolume)
                return prefs.volumeSlider()->value() / 100.0;
            if (key == QLatin1String("optSkipTime"))
                return prefs.skipTimeBox()->value();
            if (key == QLatin1String("optLoadFrameSet"))
                return prefs.loadFrameSetBox()->isChecked();
            return prefs.fontSizeBox()->value();
        };
        // the user's edit, as the control reports it
        if (key == OptPlayVolume)
            prefs.volumeSlider()->setValue(qRound(edited.toDouble() * 100));
        else if (key == QLatin1String("optSkipTime"))
            prefs.skipTimeBox()->setValue(edited.toDouble());
        else if (key == QLatin1String("optLoadFrameSet"))
            prefs.loadFrameSetBox()->click();
        else
            prefs.fontSizeBox()->setValue(edited.toInt());
        QCOMPARE(onDisk(f, key).toDouble(), edited.toDouble());

        f.settings.setObject(elsewhere, key);
        QCOMPARE(shown().toDouble(), elsewhere.toDouble());
        // showing it wrote nothing back
        QCOMPARE(f.settings.objectForKey(key), elsewhere);
    }

    void listsFollowTheTextSize()
    {
        LayoutFixture f;
        PlaylistOutlineView& tree = f.nib->olvPlaylist();
        FilelistTableView& table = f.nib->tbvFilelist();
        QCOMPARE(tree.font().pointSize(), 12); // the registered size
        QCOMPARE(table.font().pointSize(), 12);
        userDefaultsExtension::setDefaultIntValue(f.settings, 18, QStringLiteral("optFontSizeList"));
        QCOMPARE(tree.font().pointSize(), 18);
        QCOMPARE(table.font().pointSize(), 18);
        // a table's rows grow with their text
        QVERIFY(table.verticalHeader()->defaultSectionSize() > QFontMetrics(table.font()).height());
        f.settings.setObject(400, QStringLiteral("optFontSizeList"));
        QCOMPARE(tree.font().pointSize(), listFontSize::Maximum);
    }

    void windowsKeepTheirPlace_data()
    {
        QTest::addColumn<bool>("help");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("otherKey");
        QTest::newRow("preferences") << false << QStringLiteral("rectWindowPrefs")
                                     << QStringLiteral("rectWindowHelp");
        QTest::newRow("help") << true << QStringLiteral("rectWindowHelp")
                              << QStringLiteral("rectWindowPrefs");
    }

    void windowsKeepTheirPlace()
    {
        QFETCH(bool, help);
        LayoutFixture f;
        f.showWindow();
        const auto window = [&]() -> QWidget& {
            return help ? static_cast<QWidget&>(f.nib->helpWindow()) : f.nib->prefsWindow();
        };
        const auto open = [&] {
            if (help)
                f.nib->viewPrefs().openHelpWindow();
            else
                f.nib->viewPrefs().openPrefsWindow();
        };
        QVERIFY(!window().isVisible()); // neither opens at start
        open();
        const QSize ownSize = window().size();
        window().move(222, 111);
        const QPoint place = window().pos();
        open(); // already open: to the front, where it is
        QCOMPARE(window().pos(), place);
        window().close();
        QFETCH(QString, key);
        QFETCH(QString, otherKey);
        // closing stores this window's frame and no other
        QVERIFY(f.settings.hasStoredValue(key));
        QVERIFY(!f.settings.hasStoredValue(otherKey));

        f.restart();
        f.showWindow();
        open();
        QCOMPARE(window().pos(), place);
        QCOMPARE(window().size(), ownSize);
        // quitting with it open stores where it went meanwhile
        window().move(260, 150);
        const QPoint moved = window().pos();
        QVERIFY(f.nib->appDelegate().terminate());
        f.restart();
        open();
        QCOMPARE(window().pos(), moved);
    }

    void menusAndKeysOpenTheWindows()
    {
        LayoutFixture f;
        f.showWindow();
        MainWindow& main = f.window();
        QAction* prefs = menuItem(main, QStringLiteral("&Edit"), QStringLiteral("&Preferences…"));
        QAction* help = menuItem(main, QStringLiteral("&Help"), QStringLiteral("Tetrapan &Help"));
        QAction* control = menuItem(main, QStringLiteral("&Window"), QStringLiteral("&Control"));
        QVERIFY(prefs && help && control);
        QCOMPARE(prefs->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));
        QCOMPARE(help->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(control->shortcut(), QKeySequence(QStringLiteral("Ctrl+K")));

        QTest::keyClick(&main, Qt::Key_Comma, Qt::ControlModifier);
        PrefsWindow& prefsWindow = f.nib->prefsWindow();
        QVERIFY(prefsWindow.isVisible());
        QVERIFY(QTest::qWaitForWindowActive(&prefsWindow));
        // the keys of these three work from any window, the preferences' own included
        QTest::keyClick(&prefsWindow, Qt::Key_F1);
        QVERIFY(f.nib->helpWindow().isVisible());
        QVERIFY(QTest::qWaitForWindowActive(&f.nib->helpWindow()));
        QTest::keyClick(&f.nib->helpWindow(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(f.nib->controlWindow().isVisible());
        QVERIFY(control->isChecked());
    }

    void helpListsEveryKey()
    {
        LayoutFixture f;
        f.nib->viewPrefs().openHelpWindow();
        HelpWindow& help = f.nib->helpWindow();
        const QString text = help.browser()->toPlainText();
        int actionKeys = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            QList<QAction*> actions = window->findChildren<QAction*>();
            actions += window->actions();
            for (QAction* action : std::as_const(actions)) {
                for (const QKeySequence& shortcut : action->shortcuts()) {
                    const QString key = shortcut.toString(QKeySequence::NativeText);
                    QVERIFY2(text.contains(key), qPrintable(key + QLatin1Char(' ') + action->text()));
                    QVERIFY2(text.contains(QString(action->text()).remove(QLatin1Char('&'))),
                             qPrintable(action->text()));
                    ++actionKeys;
                }
            }
        }
        QVERIFY(actionKeys >= 15);
        // a menu item by its menu, with where its keys work
        const QList<ShortcutList::Entry> entries = help.shortcutList().entries();
        const auto listed = [&entries](const QString& keys, const QString& command, const QString& place) {
            return std::any_of(entries.cbegin(), entries.cend(), [&](const ShortcutList::Entry& entry) {
                return entry.keys == keys && entry.command == command && entry.place == place;
            });
        };
        QVERIFY(listed(QStringLiteral("Ctrl+K"), QStringLiteral("Window > Control"),
                       QStringLiteral("any window")));
        QVERIFY(
            listed(QStringLiteral("Ctrl+S"), QStringLiteral("File > Save"), QStringLiteral("main window")));
        QVERIFY(listed(QStringLiteral("Space"), QStringLiteral("Play"), QStringLiteral("control palette")));
        QVERIFY(listed(QStringLiteral("Ctrl+L"), QStringLiteral("Window > Playlist"),
                       QStringLiteral("main window, playlist window, control palette")));
        // the keys no command carries: the panes' and the playlists'
        for (const char* written : {"Shift+Left", "Shift+Right", "Up", "F2"})
            QVERIFY2(text.contains(QLatin1String(written)), written);
    }
};

QTEST_MAIN(TestViewPrefs)
#include "tst_viewprefs.moc"
