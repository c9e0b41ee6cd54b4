// The control palette on the fake engine: its buttons' enabled states, images and on/off states as the
// panes, the playlist selection and the settings change, and its title. (Its divider button: tst_viewmain;
// its buttons' names and pictures: tst_desktopintegration.)
#include "OpenAndWait.h"
#include "AppFixture.h"

#include "layout/ViewMain.h"
#include "palette/ControlWindow.h"
#include "palette/ViewControl.h"
#include "platform/userDefaultsExtension.h"

#include <QToolButton>

using namespace tetrapan;
using tetrapan::test::AppFixture;

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
        AppFixture f;
        f.showWindow();
        f.nib->viewControl().openControlWindow();
        for (int viewNo : movies)
            QVERIFY(test::openInPane(f.pane(viewNo), QStringLiteral("/clips/%1.mp4").arg(viewNo)));
        if (play)
            f.coordinator().setAllMoviePlay(true);
        if (alone)
            f.viewMain().maximizeSplitViewFrame(alone);

        ControlWindow& palette = f.nib->controlWindow();
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

    void moveButtonsFollowTheRows()
    {
        AppFixture f;
        ControlWindow& palette = f.nib->controlWindow();
        const auto moves = [&palette] {
            return QList<bool>{palette.btnMoveBack()->isEnabled(), palette.btnMoveNext()->isEnabled()};
        };
        f.nib->viewControl().openControlWindow();
        QCOMPARE(moves(), (QList<bool>{false, false}));

        // (Which moves the rows allow: tst_playlisttree.) The buttons follow rows added, the selection, and
        // a folder below the last row opened and closed.
        const ObjectId a = f.playlist(QStringLiteral("a"));
        QCOMPARE(moves(), (QList<bool>{true, true})); // with no row selected, either end is a move
        f.select(a);
        QCOMPARE(moves(), (QList<bool>{false, false}));
        const ObjectId folder = f.playlist(QStringLiteral("F"), true);
        QCOMPARE(moves(), (QList<bool>{false, true}));
        const ObjectId inside = LibraryRules::createNode(f.ctx(), f.settings, false);
        LibraryRules::placeNode(f.ctx(), inside, folder);
        f.ctx().processPendingChanges();
        f.select(folder);
        QCOMPARE(moves(), (QList<bool>{true, false}));
        PlaylistOutlineView& tree = f.nib->olvPlaylist();
        tree.expand(f.nib->playlistTreeController().indexOfObject(folder));
        QCOMPARE(moves(), (QList<bool>{true, true}));
        tree.collapse(f.nib->playlistTreeController().indexOfObject(folder));
        QCOMPARE(moves(), (QList<bool>{true, false}));

        palette.btnMoveBack()->click();
        QCOMPARE(tree.selectedRow(), 0);
        QCOMPARE(f.coordinator().uniqueId(), f.attr(a, "uniqueId"));
    }

    void onOffButtonsShowTheirState()
    {
        AppFixture f;
        f.showWindow();
        f.nib->viewControl().openControlWindow();
        ControlWindow& palette = f.nib->controlWindow();
        for (int n = 1; n <= 4; ++n)
            QVERIFY(test::openInPane(f.pane(n), QStringLiteral("/clips/%1.mp4").arg(n)));
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
        AppFixture f;
        QCOMPARE(f.nib->controlWindow().windowTitle(), QStringLiteral("Controller"));
        f.build(QStringLiteral("Clips,Shelf/()"));
        f.choose(QStringLiteral("Clips"));
        QCOMPARE(f.nib->controlWindow().windowTitle(), QStringLiteral("Clips"));
        f.choose(QStringLiteral("Shelf"));
        QCOMPARE(f.nib->controlWindow().windowTitle(), QStringLiteral("[ Shelf ]"));
        f.choose(QString());
        QCOMPARE(f.nib->controlWindow().windowTitle(), QStringLiteral("Controller"));
    }
};

QTEST_MAIN(TestViewControl)
#include "tst_viewcontrol.moc"
