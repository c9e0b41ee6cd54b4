#include "AppFixture.h"

#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewControl.h"
#include "palette/ViewPrefs.h"
#include "panes/MovieControllerBar.h"
#include "panes/TimelineBar.h"
#include "playlist/ButtonSelectFilelist.h"
#include "playlist/ViewPlaylist.h"
#include "widgets/NamedImage.h"
#include "widgets/userDefaultsViewState.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace tetrapan;
using tetrapan::test::AppFixture;
namespace ude = tetrapan::userDefaultsExtension;

namespace {

const QString WindowKey = QStringLiteral("rectWindowMain");
const QString SplitKey = QStringLiteral("rectSplitViewMain");
const QString ColumnKey = QStringLiteral("stateTableColumnFilelist");

// A table whose columns carry their identifiers the way the file list's model does.
struct ColumnTable {
    QStandardItemModel model{0, 5};
    QTableView table;
    ColumnTable()
    {
        const QStringList ids{"filePath", "playTime", "fileSize", "fileDate", "uniqueId"};
        for (int i = 0; i < ids.size(); ++i)
            model.setHeaderData(i, Qt::Horizontal, ids[i], FilelistArrayController::AttributeKeyRole);
        table.setModel(&model);
        for (int i = 0; i < ids.size(); ++i)
            table.horizontalHeader()->resizeSection(i, 100 + i);
    }
    QStringList order() const
    {
        QStringList ids;
        const QHeaderView* header = table.horizontalHeader();
        for (int visual = 0; visual < header->count(); ++visual) {
            const int logical = header->logicalIndex(visual);
            if (!header->isSectionHidden(logical))
                ids << model.headerData(logical, Qt::Horizontal, FilelistArrayController::AttributeKeyRole)
                           .toString();
        }
        return ids;
    }
    int width(int logical) const { return table.horizontalHeader()->sectionSize(logical); }
};

QVariantMap column(const QString& identifier, int width)
{
    return {{QStringLiteral("identifier"), identifier}, {QStringLiteral("width"), width}};
}

// One of the program's windows as the table names it: whether it opens at the first start and keeps the
// size it had, its Window menu item, the command that opens it, the setting that says whether it opens at
// the next start, the keys its frame and split views are kept under, and those split views.
struct AppWindow {
    QWidget* widget = nullptr;
    bool openAtFirstStart = true;
    bool keepsItsSize = false;
    QAction* toggle = nullptr;
    std::function<void()> open{};
    QString option{};
    QStringList keys{};
    QList<QSplitter*> splits{};
};

AppWindow appWindow(AppFixture& f, const QString& name)
{
    MainNib& nib = *f.nib;
    AppWindow w;
    if (name == QLatin1String("main")) {
        w = {&f.window(), true, true};
        w.keys =
            QStringList{"rectWindowMain", "rectSplitViewMain", "rectSplitViewLeft", "rectSplitViewRight"};
        w.splits = {f.window().spvMain(), f.window().spvLeft(), f.window().spvRight()};
    } else if (name == QLatin1String("playlist")) {
        w = {&f.playlistWindow(), true, true, f.window().playlistWindowAction()};
        w.open = [&nib] { nib.viewPlaylist().openPlaylistWindow(); };
        w.option = QStringLiteral("optIsPlaylist");
        w.keys = QStringList{"rectWindowPlaylist", "rectSplitViewPlaylist"};
        w.splits = {f.playlistWindow().spvPlaylist()};
    } else if (name == QLatin1String("palette")) {
        w = {&nib.controlWindow(), true, false, f.window().controlWindowAction()};
        w.open = [&nib] { nib.viewControl().openControlWindow(); };
        w.option = QStringLiteral("optIsController");
        w.keys = QStringList{"rectWindowControl"};
    } else {
        const bool help = name == QLatin1String("help");
        w = {help ? static_cast<QWidget*>(&nib.helpWindow()) : &nib.prefsWindow(), false};
        w.open = [&nib, help] {
            help ? nib.viewPrefs().openHelpWindow() : nib.viewPrefs().openPrefsWindow();
        };
        w.keys = QStringList{help ? "rectWindowHelp" : "rectWindowPrefs"};
    }
    return w;
}

// The ways a window is closed (in full screen: by the close box); or the program quits with it open. (The
// Window menu closes a window by the command that closes it.)
enum How { CloseBox, FullScreen, Menu, Quit };

// What the next start would read.
QVariantMap storedValues(AppFixture& f, const QStringList& keys)
{
    f.settings.flush();
    const SettingsDomain stored(f.home.settingsFile());
    QVariantMap values;
    for (const QString& key : keys)
        values.insert(key, stored.objectForKey(key));
    return values;
}

} // namespace

// The windows at the first start and across runs; window frames, split views and table columns kept in the
// settings, in their stored forms.
class TestViewState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void playlistWindowAtTheFirstStart()
    {
        AppFixture f;
        QVERIFY(f.show());
        PlaylistWindow& window = f.playlistWindow();
        QCOMPARE(window.parentWidget(), &f.window());
        QVERIFY(window.windowFlags().testFlag(Qt::Tool));
        QVERIFY(f.tree().isDisplay());
        // it adds; no remove without a selected row, no frame without an entry; nothing to play
        QVERIFY(window.btnAdd()->isEnabled());
        QVERIFY(!window.btnRemove()->isEnabled());
        QVERIFY(!window.btnFrame()->isEnabled());
        QVERIFY(!window.btnPlay()->isEnabled());
        QCOMPARE(window.btnPlay()->icon().pixmap(16, 16).toImage(),
                 namedImage(QLatin1String(ViewPlaylist::PlayImage)).pixmap(16, 16).toImage());
    }

    void windowsAcrossRuns_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<How>("how");
        QTest::addColumn<bool>("openAgain");
        // every way of quitting closes the main window; the preferences and help windows share their code
        QTest::newRow("main, close box in full screen") << QString("main") << FullScreen << true;
        QTest::newRow("playlist, close box") << QString("playlist") << CloseBox << true;
        QTest::newRow("playlist, Window menu") << QString("playlist") << Menu << false;
        QTest::newRow("playlist, left open at quit") << QString("playlist") << Quit << true;
        QTest::newRow("palette, close box") << QString("palette") << CloseBox << true;
        QTest::newRow("palette, Window menu") << QString("palette") << Menu << false;
        QTest::newRow("palette, left open at quit") << QString("palette") << Quit << true;
        QTest::newRow("preferences, close box") << QString("preferences") << CloseBox << false;
        QTest::newRow("help, left open at quit") << QString("help") << Quit << false;
    }

    // A window at the first start, then closed one way or another (in full screen: by the close box), and
    // at the next start: open again or not, where it was, at its stored size or its own, its split views as
    // they were.
    void windowsAcrossRuns()
    {
        QFETCH(QString, window);
        QFETCH(How, how);
        QFETCH(bool, openAgain);
        AppFixture f;
        f.nib->showWindows();
        AppWindow w = appWindow(f, window);
        QCOMPARE(w.widget->isVisible(), w.openAtFirstStart);
        if (w.toggle)
            QCOMPARE(w.toggle->isChecked(), w.widget->isVisible());
        if (!w.widget->isVisible())
            w.open();
        const QSize ownSize = w.widget->size();
        w.widget->setGeometry(60, 40, 480, 360);
        const QRect placed = w.widget->geometry();
        const QRect restored(placed.topLeft(), w.keepsItsSize ? placed.size() : ownSize);
        QList<QList<int>> sizes;
        for (QSplitter* split : std::as_const(w.splits)) {
            split->setSizes({1, 3});
            sizes << split->sizes();
        }
        f.playFourPanes();

        if (how == FullScreen)
            f.window().fullScreenAction()->trigger();
        if (how == CloseBox || how == FullScreen)
            QVERIFY(w.widget->close());
        else if (how == Menu)
            w.toggle->trigger();
        else
            QVERIFY(f.nib->appDelegate().terminate());
        QCOMPARE(w.widget->isVisible(), how == Quit);
        if (w.toggle)
            QCOMPARE(w.toggle->isChecked(), w.widget->isVisible());
        if (!w.option.isEmpty())
            QCOMPARE(storedValues(f, {w.option}).value(w.option).toBool(), openAgain);
        if (window == QLatin1String("main")) {
            // closing the main window quits, with the windowed frame and the panes stopped
            QVERIFY(f.nib->appDelegate().isTerminating());
            QVERIFY(!f.window().isFullScreen());
            QVERIFY(!f.window().menuBar()->isHidden());
            QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
        } else if (how != Quit) {
            QVERIFY(!f.nib->appDelegate().isTerminating());
            QVERIFY(f.window().isVisible());
            // closing stores this window's frame and no other
            for (const char* other : {"main", "playlist", "palette", "preferences", "help"}) {
                for (const QString& key : appWindow(f, other).keys)
                    QCOMPARE(f.settings.hasStoredValue(key), window == QLatin1String(other));
            }
            QVERIFY(f.nib->appDelegate().terminate());
        }
        const QVariantMap stored = storedValues(f, w.keys);

        f.restart();
        f.nib->showWindows();
        w = appWindow(f, window);
        QCOMPARE(w.widget->isVisible(), openAgain);
        if (w.toggle) {
            QCOMPARE(w.toggle->isChecked(), openAgain);
            // the menu opens it again, and records it open
            if (!openAgain) {
                w.toggle->trigger();
                QVERIFY(w.widget->isVisible());
                QVERIFY(storedValues(f, {w.option}).value(w.option).toBool());
            }
        }
        if (!w.widget->isVisible())
            w.open();
        QCOMPARE(w.widget->geometry(), restored);
        for (qsizetype n = 0; n < w.splits.size(); ++n)
            QCOMPARE(w.splits.at(n)->sizes(), sizes.at(n));
        // opening an open window moves nothing; quitting again stores what was read
        if (w.open)
            w.open();
        QCOMPARE(w.widget->geometry(), restored);
        QVERIFY(f.nib->appDelegate().terminate());
        if (w.keepsItsSize)
            QCOMPARE(storedValues(f, w.keys), stored);
    }

    void barsAcrossRuns_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("seek bar, View menu") << QString("menu");
        QTest::newRow("controller bars, palette") << QString("palette");
        QTest::newRow("controller bar, a pane's menu") << QString("pane");
    }

    // The seek bar and the controller bars are hidden at the first start; shown or hidden by the user, they
    // are so again at the next start (a pane's bar as soon as the pane has a movie).
    void barsAcrossRuns()
    {
        QFETCH(QString, how);
        const bool seekBar = how == QLatin1String("menu");
        const QString key =
            QLatin1String(seekBar ? TimelineBar::OptShowSeekBar : MovieControllerBar::OptShown);
        AppFixture f;
        const auto start = [&f] { QVERIFY(test::openInPane(f.pane(2), QStringLiteral("/clips/2.mp4"))); };
        const auto shown = [&f, seekBar] {
            // the menu item is checked while the seek bar shows, whoever showed it
            if (f.window().showSeekBarAction()->isChecked() == f.nib->timelineBar().isHidden())
                return -1;
            return int(seekBar ? !f.nib->timelineBar().isHidden() : f.pane(2).isController());
        };
        start();
        for (const bool on : {true, false}) {
            QCOMPARE(shown(), int(!on));
            if (how == QLatin1String("menu"))
                f.window().showSeekBarAction()->trigger();
            else if (how == QLatin1String("palette"))
                f.nib->controlWindow().btnController()->click();
            else
                f.pane(2).changeMovieController();
            QCOMPARE(shown(), int(on));
            QVERIFY(f.nib->appDelegate().terminate());
            QCOMPARE(storedValues(f, {key}).value(key).toBool(), on);
            f.restart();
            start();
            QCOMPARE(shown(), int(on));
        }
    }

    // A frame stored by an earlier run or by hand: a damaged or empty one is not applied, one off every
    // screen comes onto the nearest; the origin alone keeps the window's size.
    void storedWindowFrame_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QRect>("afterRect");
        QTest::addColumn<QRect>("afterPosition");
        const QRect designed(40, 50, 320, 240);
        const int right = QGuiApplication::primaryScreen()->availableGeometry().right();
        QTest::newRow("never saved") << QVariant() << designed << designed;
        QTest::newRow("damaged") << QVariant("{{1, 2}, {300") << designed << designed;
        // an empty frame still has a usable origin
        QTest::newRow("empty") << QVariant("{{10, 10}, {0, 0}}") << designed << QRect(10, 10, 320, 240);
        QTest::newRow("negative size")
            << QVariant("{{10, 10}, {-300, 200}}") << designed << QRect(10, 10, 320, 240);
        QTest::newRow("off every screen")
            << QVariant(QStringLiteral("{{%1, 40}, {300, 200}}").arg(right + 500))
            << QRect(right + 1 - 300, 40, 300, 200) << QRect(right + 1 - 320, 40, 320, 240);
    }

    void storedWindowFrame()
    {
        QFETCH(QVariant, stored);
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        if (stored.isValid())
            domain.setObject(stored, WindowKey);
        QWidget window;
        window.setGeometry(40, 50, 320, 240);
        ude::setWindowRect(domain, &window, WindowKey);
        QTEST(window.geometry(), "afterRect");
        window.setGeometry(40, 50, 320, 240);
        ude::setWindowPosition(domain, &window, WindowKey);
        QTEST(window.geometry(), "afterPosition");
    }

    void reachableFrames_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("across both") << QRect(1500, 100, 800, 600) << QRect(1500, 100, 800, 600);
        QTest::newRow("mostly off but graspable")
            << QRect(-950, 100, 1000, 600) << QRect(-950, 100, 1000, 600);
        QTest::newRow("a sliver is not enough") << QRect(-990, 100, 1000, 600) << QRect(0, 100, 1000, 600);
        QTest::newRow("third monitor gone") << QRect(3500, 200, 800, 600) << QRect(2400, 200, 800, 600);
        QTest::newRow("below everything") << QRect(200, 3000, 800, 600) << QRect(200, 450, 800, 600);
        QTest::newRow("larger than the nearest") << QRect(5000, 0, 1600, 1200) << QRect(1920, 0, 1280, 1024);
        QTest::newRow("larger than every screen") << QRect(0, 0, 100000, 100000) << QRect(0, 0, 1920, 1050);
        QTest::newRow("wider than the screen it is on") << QRect(1920, 0, 1600, 900) << QRect(1920, 0, 1280, 900);
    }

    void reachableFrames()
    {
        QFETCH(QRect, wanted);
        QFETCH(QRect, placed);
        const QList<QRect> screens{QRect(0, 0, 1920, 1050), QRect(1920, 0, 1280, 1024)};
        QCOMPARE(ude::reachableWindowRect(wanted, screens), std::optional<QRect>(placed));
        QCOMPARE(ude::reachableWindowRect(QRect(10, 10, 0, 100), screens), std::nullopt);
    }

    // A split view's stored entries (split views across runs: windowsAcrossRuns): more entries than subviews,
    // and a damaged one, which leaves its subview as it is.
    void splitViewEntriesMeetSubviews_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("collapsed first, third entry ignored")
            << QStringList{"{{0, 0}, {0, 640}}", "{{7, 0}, {1017, 640}}", "{{0, 0}, {5, 5}}"}
            << QList<int>{0, 1017};
        QTest::newRow("damaged entry kept")
            << QStringList{"{{0, 0}, {505, 640}}", "broken"} << QList<int>{505, 512};
    }

    void splitViewEntriesMeetSubviews()
    {
        QFETCH(QStringList, stored);
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        domain.setObject(stored, SplitKey);
        QWidget window;
        auto* split = new QSplitter(&window);
        split->setHandleWidth(7);
        split->addWidget(new QWidget);
        split->addWidget(new QWidget);
        split->setGeometry(0, 0, 1024, 640);
        window.show();
        split->setSizes({505, 512});
        ude::setSplitViewRect(domain, split, SplitKey);
        QTEST(split->sizes(), "sizes");
    }

    // (The columns across runs of the whole program: tst_playlistwindow.)
    void columnsAreStoredInTheirForm()
    {
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        ColumnTable t;
        t.table.horizontalHeader()->moveSection(4, 0);
        t.table.horizontalHeader()->resizeSection(2, 87);
        t.table.horizontalHeader()->hideSection(3);
        ude::saveTableColumnState(domain, &t.table, ColumnKey);
        QVERIFY(domain.flush());
        QCOMPARE(QJsonDocument::fromJson(test::readAll(home.settingsFile())).object().value(ColumnKey),
                 QJsonValue(QJsonArray{QJsonObject{{"identifier", "uniqueId"}, {"width", 104}},
                                       QJsonObject{{"identifier", "filePath"}, {"width", 100}},
                                       QJsonObject{{"identifier", "playTime"}, {"width", 101}},
                                       QJsonObject{{"identifier", "fileSize"}, {"width", 87}},
                                       QJsonObject{{"identifier", "fileDate"}, {"hidden", true}}}));
    }

    void columnEntriesKeepTheirPositions_data()
    {
        QTest::addColumn<QVariantList>("stored");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<int>("fileDateWidth");
        QTest::addColumn<bool>("playTimeHidden");
        // the third entry goes to index 2 although the second was skipped; no width keeps the width
        QTest::newRow("unknown identifier skipped, no width")
            << QVariantList{QVariantMap{{"identifier", "fileDate"}}, column("comments", 50),
                            column("filePath", 90)}
            << QStringList{"fileDate", "playTime", "filePath", "fileSize", "uniqueId"} << 103 << false;
        QTest::newRow("past the last column unapplied")
            << QVariantList{column("a", 1), column("b", 1), column("c", 1),
                            column("d", 1), column("e", 1), column("fileDate", 140)}
            << QStringList{"filePath", "playTime", "fileSize", "fileDate", "uniqueId"} << 103 << false;
        QTest::newRow("a hidden column is not in the table")
            << QVariantList{column("playTime", 10), column("fileDate", 150)}
            << QStringList{"filePath", "fileDate", "fileSize", "uniqueId"} << 150 << true;
    }

    void columnEntriesKeepTheirPositions()
    {
        QFETCH(QVariantList, stored);
        QFETCH(QStringList, order);
        QFETCH(int, fileDateWidth);
        QFETCH(bool, playTimeHidden);
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        domain.setObject(stored, ColumnKey);
        ColumnTable t;
        if (playTimeHidden)
            t.table.horizontalHeader()->hideSection(1);
        ude::setTableColumnState(domain, &t.table, ColumnKey);
        QCOMPARE(t.order(), order);
        QCOMPARE(t.width(3), fileDateWidth);
    }
};

QTEST_MAIN(TestViewState)
#include "tst_viewstate.moc"
