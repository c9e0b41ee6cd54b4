// The control palette on the fake engine: its buttons' enabled states, images and on/off states as the
// panes, the playlist selection, the main window and the settings change; its title; whether it opens at
// the next start, and where.
#include "LayoutFixture.h"

#include "layout/ButtonForMenu.h"
#include "library/LibraryRules.h"
#include "palette/ControlWindow.h"
#include "palette/ViewControl.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/PlaylistOutlineView.h"
#include "shell/NamedImage.h"

#include <QToolButton>

using namespace tetrapan;
using tetrapan::test::LayoutFixture;

namespace {

QString image(const QAbstractButton* button)
{
    return ControlWindow::buttonImage(button);
}

QStringList frameImages(ControlWindow& palette)
{
    QStringList images;
    for (int n = 1; n <= 4; ++n)
        images << image(palette.btnFrame(n)).remove(QStringLiteral("btn_ctrl_"));
    return images;
}

QList<QAbstractButton*> playbackButtons(ControlWindow& palette)
{
    return {palette.btnController(), palette.btnScale(),     palette.btnSound(),  palette.btnSkipBack(),
            palette.btnSkipNext(),   palette.btnSkipStart(), palette.btnSkipEnd()};
}

struct Palette {
    LayoutFixture& f;
    ViewControl& control() { return f.nib->viewControl(); }
    ControlWindow& window() { return f.nib->controlWindow(); }
    QString uid(ObjectId node) { return f.context().value(node, LibrarySchema::UniqueId).toString(); }
    // The playlist chosen as the tree would choose it, and loaded.
    void choose(ObjectId node)
    {
        f.select(node);
        f.coordinator().setUniqueId(node == NoObject ? QString() : uid(node));
        f.scheduler.advance(MovController::ChangeDelay);
    }
};

} // namespace

class TestViewControl : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buttonTable_data()
    {
        QTest::addColumn<QList<int>>("movies");
        QTest::addColumn<int>("alone");
        QTest::addColumn<bool>("play");
        QTest::addColumn<bool>("playable");
        QTest::addColumn<bool>("syncable");
        QTest::addColumn<QString>("playImage");
        QTest::addColumn<QStringList>("frames");

        const QString play = QStringLiteral("btn_ctrl_play");
        const QString stop = QStringLiteral("btn_ctrl_stop");
        const QString f = QStringLiteral("frame");
        const QString n = QStringLiteral("frame_noavail");
        QTest::newRow("no playable pane")
            << QList<int>{} << 0 << false << false << false << play << QStringList{n, n, n, n};
        QTest::newRow("all four shown and playing")
            << QList<int>{1, 2, 3, 4} << 0 << true << true << true << stop << QStringList{f, f, f, f};
        QTest::newRow("all four shown, pane 3 empty")
            << QList<int>{1, 2, 4} << 0 << false << true << true << play << QStringList{f, f, n, f};
        QTest::newRow("one movie among the four")
            << QList<int>{4} << 0 << false << true << false << play << QStringList{n, n, n, f};
        QTest::newRow("pane 2 alone without a movie")
            << QList<int>{1, 3, 4} << 2 << false << false << false << play
            << QStringList{f, QStringLiteral("frame_noavail_play"), f, f};
        QTest::newRow("pane 3 alone, playing") << QList<int>{1, 2, 3, 4} << 3 << true << true << false << stop
                                               << QStringList{f, f, QStringLiteral("frame_play"), f};
    }

    void buttonTable()
    {
        QFETCH(QList<int>, movies);
        QFETCH(int, alone);
        QFETCH(bool, play);
        LayoutFixture f;
        Palette p{f};
        f.showWindow();
        p.control().openControlWindow();
        for (int viewNo : movies)
            QVERIFY(f.pane(viewNo).createMovieView(QStringLiteral("/clips/%1.mp4").arg(viewNo)));
        if (play)
            f.coordinator().setAllMoviePlay(true);
        if (alone)
            f.viewMain().maximizeSplitViewFrame(alone);

        ControlWindow& palette = p.window();
        QTEST(palette.btnPlay()->isEnabled(), "playable");
        for (QAbstractButton* button : playbackButtons(palette))
            QVERIFY2(button->isEnabled() == palette.btnPlay()->isEnabled(), qPrintable(button->objectName()));
        QTEST(palette.btnSync()->isEnabled(), "syncable");
        QTEST(image(palette.btnPlay()), "playImage");
        QTEST(frameImages(palette), "frames");

        // the dividers slide back: no pane is singled out, and the images say so at once
        if (alone) {
            f.viewMain().maximizeSplitViewFrame(0);
            QVERIFY(!frameImages(palette).join(QLatin1Char(',')).contains(QLatin1String("play")));
        }
    }

    void fullScreenSwitchesItsButton()
    {
        LayoutFixture f;
        Palette p{f};
        f.showWindow();
        QToolButton* button = p.window().btnMainWindow();
        QCOMPARE(image(button), QStringLiteral("btn_ctrl_full_on"));
        f.window().changeFullScreen();
        QCOMPARE(image(button), QStringLiteral("btn_ctrl_full_off"));
        QCOMPARE(button->accessibleName(), QStringLiteral("Leave full screen"));
        QTest::keyClick(&f.window(), Qt::Key_Escape);
        QVERIFY(!f.window().isFullScreen());
        QCOMPARE(image(button), QStringLiteral("btn_ctrl_full_on"));
    }

    void frameSetButtonFollowsTheSelection_data()
    {
        QTest::addColumn<bool>("select");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("frameSet");
        QTest::addColumn<QString>("image");
        const QString on = QStringLiteral("btn_ctrl_frame_set_on");
        const QString off = QStringLiteral("btn_ctrl_frame_set_off");
        const QString saved = QStringLiteral("0:0.50:0.25:0.50");
        QTest::newRow("nothing selected") << false << false << QString() << off;
        QTest::newRow("folder, even with text") << true << true << saved << off;
        QTest::newRow("playlist without a frame set") << true << false << QString() << off;
        QTest::newRow("playlist with a frame set") << true << false << saved << on;
    }

    void frameSetButtonFollowsTheSelection()
    {
        QFETCH(bool, select);
        QFETCH(bool, folder);
        QFETCH(QString, frameSet);
        LayoutFixture f;
        Palette p{f};
        // a playlist with a frame set chosen first lights the button; the row's own answer must put it out
        p.choose(f.playlist(QStringLiteral("lit"), false, QStringLiteral("0:0.30:0.30:0.30")));
        QCOMPARE(image(p.window().btnFrameSet()), QStringLiteral("btn_ctrl_frame_set_on"));
        p.choose(select ? f.playlist(QStringLiteral("row"), folder, frameSet) : NoObject);
        QTEST(image(p.window().btnFrameSet()), "image");
        // Reset stays reachable: the button never goes grey
        QVERIFY(p.window().btnFrameSet()->isEnabled());
    }

    void moveButtonsFollowTheRows()
    {
        LayoutFixture f;
        Palette p{f};
        ControlWindow& palette = p.window();
        const auto moves = [&palette] {
            return QList<bool>{palette.btnMoveBack()->isEnabled(), palette.btnMoveNext()->isEnabled()};
        };
        p.control().openControlWindow();
        QCOMPARE(moves(), (QList<bool>{false, false}));

        const ObjectId a = f.playlist(QStringLiteral("a"));
        const ObjectId b = f.playlist(QStringLiteral("b"));
        QCOMPARE(moves(), (QList<bool>{true, true})); // with no row selected, either end is a move
        f.select(a);
        QCOMPARE(moves(), (QList<bool>{false, true}));
        f.select(b);
        QCOMPARE(moves(), (QList<bool>{true, false}));

        // a closed folder below the last row: opening it adds rows under the selection without moving it
        const ObjectId folder = f.playlist(QStringLiteral("F"), true);
        QCOMPARE(moves(), (QList<bool>{true, true}));
        const ObjectId inside = LibraryRules::createNode(f.context(), f.settings, false);
        LibraryRules::placeNode(f.context(), inside, folder);
        f.context().processPendingChanges();
        f.select(folder);
        QCOMPARE(moves(), (QList<bool>{true, false}));
        PlaylistOutlineView& tree = f.nib->olvPlaylist();
        tree.expand(f.nib->playlistTreeController().indexOfObject(folder));
        QCOMPARE(moves(), (QList<bool>{true, true}));
        tree.collapse(f.nib->playlistTreeController().indexOfObject(folder));
        QCOMPARE(moves(), (QList<bool>{true, false}));

        palette.btnMoveBack()->click();
        QCOMPARE(tree.selectedRow(), 1);
        QCOMPARE(f.coordinator().uniqueId(), p.uid(b));
    }

    void onOffButtonsShowTheirState()
    {
        LayoutFixture f;
        Palette p{f};
        f.showWindow();
        p.control().openControlWindow();
        ControlWindow& palette = p.window();
        QVERIFY(palette.btnDivider()->isChecked());
        f.viewMain().changeDividerSize();
        QVERIFY(!palette.btnDivider()->isChecked());
        palette.btnDivider()->click();
        QVERIFY(palette.btnDivider()->isChecked());
        QVERIFY(userDefaultsExtension::defaultBoolValue(f.settings, QStringLiteral("optDividerEnable")));

        for (int n = 1; n <= 4; ++n)
            QVERIFY(f.pane(n).createMovieView(QStringLiteral("/clips/%1.mp4").arg(n)));
        QVERIFY(!palette.btnController()->isChecked());
        QVERIFY(!palette.btnScale()->isChecked());
        QVERIFY(palette.btnSound()->isChecked());
        QCOMPARE(image(palette.btnSound()), QStringLiteral("btn_ctrl_sound"));

        f.pane(3).setMovieController(true);
        QVERIFY(palette.btnController()->isChecked());
        palette.btnController()->click(); // one bar shows, so all go
        QVERIFY(!palette.btnController()->isChecked());
        QVERIFY(!f.pane(3).isController());

        palette.btnScale()->click();
        QVERIFY(palette.btnScale()->isChecked());
        QVERIFY(!f.pane(1).isKeepAspect());

        palette.btnSound()->click();
        QVERIFY(!palette.btnSound()->isChecked());
        QCOMPARE(image(palette.btnSound()), QStringLiteral("btn_ctrl_sound_off"));
        QVERIFY(f.pane(4).isMuted());
        // the volume starts at nothing: the sound button says where to raise it, until it is raised
        QVERIFY(palette.btnSound()->toolTip().contains(QLatin1String("Preferences")));
        userDefaultsExtension::setDefaultFloatValue(f.settings, 0.5f, QStringLiteral("optPlayVolume"));
        QVERIFY(!palette.btnSound()->toolTip().contains(QLatin1String("Preferences")));
        // and the skip buttons say how far they go
        userDefaultsExtension::setDefaultFloatValue(f.settings, 2.5f, QStringLiteral("optSkipTime"));
        QVERIFY(palette.btnSkipNext()->toolTip().contains(QLatin1String("2.5 seconds")));
    }

    void titleFollowsThePlaylist()
    {
        LayoutFixture f;
        Palette p{f};
        QCOMPARE(p.window().windowTitle(), QStringLiteral("Controller"));
        p.choose(f.playlist(QStringLiteral("Clips")));
        QCOMPARE(p.window().windowTitle(), QStringLiteral("Clips"));
        p.choose(f.playlist(QStringLiteral("Shelf"), true));
        QCOMPARE(p.window().windowTitle(), QStringLiteral("[ Shelf ]"));
        p.choose(NoObject);
        QCOMPARE(p.window().windowTitle(), QStringLiteral("Controller"));
    }

    void openStateAcrossRestarts_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("openAgain");
        QTest::newRow("close box") << QStringLiteral("close box") << true;
        QTest::newRow("Window menu") << QStringLiteral("menu") << false;
        QTest::newRow("closeControlWindow") << QStringLiteral("command") << false;
        QTest::newRow("left open at quit") << QStringLiteral("quit") << true;
    }

    void openStateAcrossRestarts()
    {
        QFETCH(QString, how);
        QFETCH(bool, openAgain);
        LayoutFixture f;
        Palette p{f};
        f.nib->showWindows();
        ControlWindow& palette = p.window();
        QVERIFY(palette.isVisible()); // the first start: open, as registered
        QVERIFY(f.window().controlWindowAction()->isChecked());
        const QPoint place(317, 241);
        palette.move(place);
        const QRect frame = palette.geometry();

        if (how == QLatin1String("close box"))
            palette.close();
        else if (how == QLatin1String("menu"))
            f.window().controlWindowAction()->trigger();
        else if (how == QLatin1String("command"))
            p.control().closeControlWindow();
        else
            QVERIFY(f.nib->appDelegate().terminate());
        QCOMPARE(palette.isVisible(), how == QLatin1String("quit"));
        QCOMPARE(f.window().controlWindowAction()->isChecked(), palette.isVisible());
        // what the next start reads is on disk
        QCOMPARE(
            SettingsDomain(f.home.settingsFile()).objectForKey(QStringLiteral("optIsController")).toBool(),
            openAgain);

        f.restart();
        f.nib->showWindows();
        QCOMPARE(p.window().isVisible(), openAgain);
        QCOMPARE(f.window().controlWindowAction()->isChecked(), openAgain);
        QCOMPARE(p.window().geometry(), frame);
    }

    void placeRestoredWithItsOwnSize()
    {
        LayoutFixture f({{QStringLiteral("rectWindowControl"), QStringLiteral("{{260, 330}, {999, 777}}")}});
        Palette p{f};
        f.nib->showWindows();
        const QRect frame = p.window().geometry();
        QCOMPARE(frame.topLeft(), QPoint(260, 330));
        QCOMPARE(frame.size(), p.window().sizeHint());
        // opening a palette that is open moves nothing
        p.control().openControlWindow();
        QCOMPARE(p.window().geometry(), frame);
    }

    void everyButtonIsDescribedAndDrawn()
    {
        LayoutFixture f;
        Palette p{f};
        for (QAbstractButton* button : p.window().buttons()) {
            const QString name = button->objectName();
            QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(name));
            QVERIFY2(!button->toolTip().isEmpty(), qPrintable(name));
            QVERIFY2(!button->icon().pixmap(ControlWindow::IconSize).isNull(), qPrintable(name));
        }
        // every image a button can come to show
        for (const char* name :
             {"btn_ctrl_play", "btn_ctrl_stop", "btn_ctrl_full_on", "btn_ctrl_full_off", "btn_ctrl_frame",
              "btn_ctrl_frame_noavail", "btn_ctrl_frame_play", "btn_ctrl_frame_noavail_play",
              "btn_ctrl_frame_set_on", "btn_ctrl_frame_set_off", "btn_ctrl_sound", "btn_ctrl_sound_off"})
            QVERIFY2(!namedImage(QLatin1String(name)).pixmap(ControlWindow::IconSize).isNull(), name);
    }
};

QTEST_MAIN(TestViewControl)
#include "tst_viewcontrol.moc"
