// The preferences and help windows on the fake engine: what the preferences edit reaches the panes and the
// lists at once, and the help lists every key the program answers to.
#include "OpenAndWait.h"
#include "AppFixture.h"

#include "library/Movie.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewPrefs.h"
#include "platform/userDefaultsExtension.h"
#include "widgets/ListFontSize.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTextBrowser>

#include <algorithm>

using namespace tetrapan;
using tetrapan::test::AppFixture;

namespace {

const QString OptPlayVolume = QStringLiteral("optPlayVolume");

// What the next start would read.
QVariant onDisk(AppFixture& f, const QString& key)
{
    f.settings.flush();
    return SettingsDomain(f.home.settingsFile()).objectForKey(key);
}

} // namespace

class TestViewPrefs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A muted pane stays silent, and has the volume when it sounds again; a movie opened later has it too.
    void volumeReachesEveryPaneAtOnce()
    {
        AppFixture f;
        f.showWindow();
        for (int n = 1; n <= 4; ++n)
            QVERIFY(test::openInPane(f.pane(n), QStringLiteral("/clips/%1.mp4").arg(n)));
        f.pane(2).setMovieMuted(true);
        PrefsWindow& prefs = f.nib->prefsWindow();
        f.nib->viewPrefs().openPrefsWindow();
        QVERIFY(prefs.isVisible());
        // movies start silent, and the window says why
        QVERIFY(prefs.volumeHint()->isVisible());
        QCOMPARE(f.pane(1).movie()->volume(), 0.0f);

        for (int step = 0; step < 3; ++step)
            QTest::keyClick(prefs.volumeSlider(), Qt::Key_PageUp);
        // no turn of the event loop in between: every pane already has it
        QCOMPARE(prefs.volumeSlider()->value(), 30);
        for (int n : {1, 3, 4})
            QCOMPARE(f.pane(n).movie()->volume(), 0.3f);
        QCOMPARE(f.pane(2).movie()->volume(), 0.0f);
        QCOMPARE(onDisk(f, OptPlayVolume).toFloat(), 0.3f);
        QVERIFY(!prefs.volumeHint()->isVisible());
        f.pane(2).setMovieMuted(false);
        QCOMPARE(f.pane(2).movie()->volume(), 0.3f);
        QVERIFY(test::openInPane(f.pane(1), QStringLiteral("/clips/other.mp4")));
        QCOMPARE(f.pane(1).movie()->volume(), 0.3f);

        QTest::keyClick(prefs.volumeSlider(), Qt::Key_Home);
        QCOMPARE(f.pane(4).movie()->volume(), 0.0f);
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
        AppFixture f;
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
        else if (key == QLatin1String("optSkipTime")) {
            // typed key by key: "2" is a value already, written and shown back before the ".5" comes
            prefs.skipTimeBox()->selectAll();
            QTest::keyClicks(prefs.skipTimeBox(), edited.toString());
        } else if (key == QLatin1String("optLoadFrameSet"))
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
        AppFixture f;
        PlaylistOutlineView& tree = f.nib->olvPlaylist();
        FilelistTableView& table = f.nib->tbvFilelist();
        QCOMPARE(tree.font().pointSize(), 12); // the registered size
        QCOMPARE(table.font().pointSize(), 12);
        const int pathWidth = table.horizontalHeader()->sectionSize(0);
        userDefaultsExtension::setDefaultIntValue(f.settings, 18, QStringLiteral("optFontSizeList"));
        QCOMPARE(tree.font().pointSize(), 18);
        QCOMPARE(table.font().pointSize(), 18);
        // and its columns with it
        QCOMPARE(table.horizontalHeader()->sectionSize(0), pathWidth * 18 / 12);
        // a table's rows grow with their text
        QVERIFY(table.verticalHeader()->defaultSectionSize() > QFontMetrics(table.font()).height());
        f.settings.setObject(400, QStringLiteral("optFontSizeList"));
        QCOMPARE(tree.font().pointSize(), listFontSize::Maximum);
    }
    // the first start's column widths are for the registered size
    void firstColumnsFollowTheTextSize()
    {
        AppFixture f({.storedSettings = {{QStringLiteral("optFontSizeList"), 18}}});
        QCOMPARE(f.nib->tbvFilelist().horizontalHeader()->sectionSize(0), 44 * 18 / 12); // the Pane column
    }

    void aboutTellsVersionsLicenceAndHomePage()
    {
        AppFixture f;
        auto* help = f.window().findChild<QMenu*>(QStringLiteral("menuHelp"));
        QVERIFY(help);
        for (QAction* item : help->actions()) {
            if (item->text() == QLatin1String("&About Tetrapan"))
                item->trigger();
        }
        QCOMPARE(f.dialogs.alerts.size(), 1);
        const AlertRequest about = f.dialogs.alerts.front();
        QVERIFY2(
            QRegularExpression(QStringLiteral("^Tetrapan \\d+\\.\\d+$")).match(about.messageText).hasMatch(),
            qPrintable(about.messageText));
        for (const QString& fact :
             {QStringLiteral("Qt ") + QLatin1String(qVersion()), QStringLiteral("libmpv client API "),
              QStringLiteral("Licence: GPL-"), QStringLiteral("https://")})
            QVERIFY2(about.informativeText.contains(fact), qPrintable(about.informativeText));
    }

    void helpListsEveryKey()
    {
        AppFixture f;
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
        QVERIFY(listed(QStringLiteral("Space"), QStringLiteral("Play"), QStringLiteral("control palette")));
        QVERIFY(listed(QStringLiteral("F2"), QStringLiteral("Rename"), QStringLiteral("playlist window")));
    }
};

QTEST_MAIN(TestViewPrefs)
#include "tst_viewprefs.moc"
