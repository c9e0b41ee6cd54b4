// The whole application on the real engine under X, the frames its panes show read back from the screen:
// "." and "," step all four panes one frame on and back, also where frames are unevenly spaced, stopping
// them first when they play; a snapshot saves what the panes show, each pane's picture at the video's own
// size; and four panes of one clip show the same frame with the sync lock on (also once stopped), and right
// after a start together with it off, for a clip with sound and one without a sound track; and a 24 fps copy
// of the pictures at rate 25/24 stays on the 25 fps leader's frame with the lock on.
#include "AppFixture.h"
#include "FrameBarcode.h"
#include "RecordingClips.h"
#include "ScreenProbe.h"
#include "TestClips.h"

#include "engine/MovieView.h"
#include "library/Movie.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneSnapshot.h"
#include "panes/PaneTimeline.h"
#include "panes/SyncLock.h"
#include "panes/TimelineBar.h"
#include "platform/userDefaultsExtension.h"

#include <QDir>
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;

namespace {

constexpr int EngineTimeoutMs = 20000;
constexpr int Shots = 30;
constexpr int ShotIntervalMs = 200;
constexpr int FrameMs = 1000 / test::TestClips::FramesPerSecond;
// Each stop of four playing panes takes a second; a pane pausing a frame off now and then must show up over
// the four rows: four stops each in make test, twelve in make test-long (TETRAPAN_LONG_TESTS).
const int Stops = qEnvironmentVariableIsSet("TETRAPAN_LONG_TESTS") ? 12 : 4;
// A '/' in the title cannot be part of a file name.
const QString PlaylistTitle = QStringLiteral("Match/1");

QString allAt(int frame)
{
    return test::ScreenProbe::text(QList<std::optional<int>>(4, frame));
}

} // namespace

class TestPanesFrames : public QObject {
    Q_OBJECT

private:
    test::TestClips clips_;
    test::XServer x_;
    test::ScreenProbe screen_;

    // The program started on a playlist of the clip in all four panes, each ready to play.
    static std::unique_ptr<test::AppFixture> startOn(const test::TestHome& home, const QString& clip,
                                                     bool openGL = false)
    {
        return startOn(home, QStringList(4, clip), openGL);
    }
    // clips[n - 1] in pane n, none in the panes after them
    static std::unique_ptr<test::AppFixture> startOn(const test::TestHome& home, const QStringList& clips,
                                                     bool openGL)
    {
        if (!test::writeOnePlaylistHome(home, PlaylistTitle, clips))
            return nullptr;
        auto app = std::make_unique<test::AppFixture>(test::AppOptions{
            .home = &home,
            .realEngine = true,
            .drawingPath = openGL ? std::optional(DrawingPath::OpenGL) : std::nullopt, // else the machine's
            .realClock = true});
        app->showWindow(800, 600);
        for (int n = 1; n <= clips.size(); ++n) {
            if (!QTest::qWaitFor([&] { return app->pane(n).isPlayable(); }, EngineTimeoutMs))
                return nullptr;
        }
        return app;
    }
    QString shown(test::AppFixture& app)
    {
        return test::ScreenProbe::text(screen_.framesShown(app.window()));
    }
    // what each player says of itself, beside what the screen shows, for a failure's message
    static QString players(test::AppFixture& app)
    {
        QStringList said;
        for (int n = 1; n <= 4; ++n) {
            const Movie* movie = app.pane(n).movie();
            said << QStringLiteral("%1: %2 s %3")
                        .arg(n)
                        .arg(movie ? movie->currentTime().seconds() : -1.0)
                        .arg(movie && movie->rate() != 0.0f ? QStringLiteral("playing")
                                                            : QStringLiteral("stopped"));
        }
        return said.join(QStringLiteral(", "));
    }
    void typeIntoMainWindow(uint32_t keysym, uint16_t modifiers = 0)
    {
        const test::XServer::Window window = x_.find(PlaylistTitle);
        x_.focus(window);
        x_.key(window, keysym, modifiers);
    }

private Q_SLOTS:
    void initTestCase()
    {
        clips_ = test::TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
        QVERIFY(x_.isConnected());
    }

    void keysStepEveryPaneOneFrame_data()
    {
        QTest::addColumn<bool>("uneven");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("next");
        QTest::addColumn<int>("before");
        QTest::addColumn<bool>("openGL"); // else the machine's own drawing path (software on Xvfb)
        // frame n of the even clip starts at n / 25 s
        QTest::newRow("even frames") << false << 25 << 26 << 24 << false;
        // frames 3 to 12 are left out: frame 2 stands from 0.08 s to 0.52 s, where 13 follows
        QTest::newRow("uneven frames") << true << 2 << 13 << 1 << false;
        QTest::newRow("uneven frames, OpenGL") << true << 2 << 13 << 1 << true;
    }

    void keysStepEveryPaneOneFrame()
    {
        QFETCH(bool, uneven);
        QFETCH(int, start);
        QFETCH(int, next);
        QFETCH(int, before);
        QFETCH(bool, openGL);
        test::TestHome home;
        const auto app = startOn(home, uneven ? clips_.barcodeVfr : clips_.barcode, openGL);
        QVERIFY(app);
        QTRY_COMPARE_WITH_TIMEOUT(shown(*app), allAt(0), EngineTimeoutMs);
        for (int n = 1; n <= 4; ++n)
            app->pane(n).movie()->setCurrentTime(MovieTime{start, 25, 0});
        QTRY_COMPARE_WITH_TIMEOUT(shown(*app), allAt(start), EngineTimeoutMs);

        typeIntoMainWindow('.');
        QTRY_COMPARE_WITH_TIMEOUT(shown(*app), allAt(next), EngineTimeoutMs);
        typeIntoMainWindow(',');
        QTRY_COMPARE_WITH_TIMEOUT(shown(*app), allAt(start), EngineTimeoutMs);
        // the menu item does the same
        app->window().stepBackAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(shown(*app), allAt(before), EngineTimeoutMs);
        QCOMPARE(app->playing(), QList<bool>(4, false));

        // playing panes stop for the step, each on a frame it then stays on
        const double stood = app->pane(1).movie()->currentTime().seconds();
        app->coordinator().changeAllMoviePlay();
        QTRY_VERIFY_WITH_TIMEOUT(app->pane(1).movie()->currentTime().seconds() > stood + 0.3,
                                 EngineTimeoutMs);
        app->window().stepForwardAction()->trigger();
        QCOMPARE(app->playing(), QList<bool>(4, false));
        QTest::qWait(500);
        const QString stepped = shown(*app);
        QVERIFY2(!stepped.contains(QLatin1Char('?')), qPrintable(stepped));
        QTest::qWait(500);
        QCOMPARE(shown(*app), stepped);
    }

    void timelineDragPutsEveryPaneOnTheLeadersFramePlusItsOffset()
    {
        test::TestHome home;
        const auto app = startOn(home, clips_.barcodeLong);
        QVERIFY(app);
        QTRY_COMPARE_WITH_TIMEOUT(shown(*app), allAt(0), EngineTimeoutMs);
        // whole frames of the 25 fps clip: 25 and 50 ahead of the leader, 10 behind
        const QList<qint64> offsets{0, 1000, 2000, -400};
        for (int n = 1; n <= 4; ++n)
            app->coordinator().offsets().setOffsetMs(n, offsets[n - 1]);
        TimelineBar& bar = app->nib->timelineBar();
        QVERIFY(!bar.isVisible());
        app->window().showSeekBarAction()->trigger();
        QTRY_VERIFY(bar.isVisible());
        const int y = bar.height() / 2;
        for (const double target : {6.3, 3.1}) {
            QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(bar.xOf(1.0), y));
            for (int step = 2; step <= 10; ++step) {
                QTest::mouseMove(&bar, QPoint(bar.xOf(target * step / 10), y));
                QTest::qWait(20);
            }
            QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(bar.xOf(target), y));
            // the leader's frame where the pointer let go, and every other pane's that plus its offset
            const double leaderFrame = bar.secondsAt(bar.xOf(target)) * test::TestClips::FramesPerSecond;
            const auto landed = [&] {
                const auto frames = screen_.framesShown(app->window());
                return frames.size() == 4 && frames[0] && std::abs(*frames[0] - leaderFrame) <= 1.0 &&
                       frames == QList<std::optional<int>>{*frames[0], *frames[0] + 25, *frames[0] + 50,
                                                           *frames[0] - 10};
            };
            QTRY_VERIFY_WITH_TIMEOUT(landed(), EngineTimeoutMs);
            QCOMPARE(app->playing(), QList<bool>(4, false));
        }
        // a click on the time shows the leader's frame number, the one its picture's barcode tells
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(bar.width() - 10, y));
        const auto frames = screen_.framesShown(app->window());
        QVERIFY2(frames.value(0) &&
                     bar.timeText().startsWith(QStringLiteral("frame %1 / ").arg(*frames.value(0))),
                 qPrintable(bar.timeText()));
    }

    // A recording (0-3 s, 3-4.5 s, a gap to 6 s, 6-9 s) in pane 1 beside a movie of one file: in the gap
    // its picture is black with "No recording" and its lane on the time line is broken; the time line reads
    // the wall clock; after the gap the pane shows the frame of the wall clock again.
    void aRecordingsGapShowsNoRecording_data()
    {
        QTest::addColumn<bool>("openGL");
        QTest::newRow("the machine's drawing path") << false;
        QTest::newRow("OpenGL") << true;
    }

    void aRecordingsGapShowsNoRecording()
    {
        QFETCH(bool, openGL);
        test::RecordingClips::Layout layout;
        layout.halfFiles = {1};
        const auto recording = test::RecordingClips::makeForTests(layout);
        QVERIFY2(recording.ok(), qPrintable(recording.error));
        test::TestHome home;
        const auto app = startOn(home, {recording.cameraFolders[0], clips_.barcodeLong}, openGL);
        QVERIFY(app);
        app->window().showSeekBarAction()->trigger();
        TimelineBar& bar = app->nib->timelineBar();
        QTRY_VERIFY(bar.isVisible());
        Movie* movie = app->pane(1).movie();
        const MovieView* view = app->nib->qtView(1).movieView();
        // low in the picture, where the test pattern is never black
        const QRect picture = test::FrameBarcode::pictureRect(view->size(), test::ScreenProbe::PictureAspect);
        const QPoint corner = view->mapToGlobal(picture.bottomLeft() + QPoint(8, -8));
        QTRY_VERIFY_WITH_TIMEOUT(!test::ScreenProbe::near(screen_.colourAt(corner), Qt::black), EngineTimeoutMs);
        movie->setCurrentTime(MovieTime::fromSeconds(5.0));
        QTRY_VERIFY_WITH_TIMEOUT(test::ScreenProbe::near(screen_.colourAt(corner), Qt::black), EngineTimeoutMs);
        const QImage text = screen_.grab(QRect(view->mapToGlobal(view->rect().center()) - QPoint(40, 8), QSize(80, 16)));
        QVERIFY2(std::any_of(text.bits(), text.bits() + text.sizeInBytes(), [](uchar c) { return c > 200; }),
                 "no text in the gap");
        QVERIFY2(bar.timeText().startsWith(QStringLiteral("2026-03-01 ")), qPrintable(bar.timeText()));
        // the lane of pane 1 is drawn before and after the gap, not in it
        const auto laneDrawnAt = [&](double seconds) {
            const QImage column = screen_.grab(bar, QRect(bar.xOf(seconds), 0, 1, bar.height()));
            for (int y = 0; y < column.height(); ++y) {
                if (test::ScreenProbe::near(column.pixelColor(0, y), QColor(0x4f, 0xa3, 0xe0)))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY(laneDrawnAt(2.0) && laneDrawnAt(7.0));
        QVERIFY(!laneDrawnAt(5.25));
        movie->setCurrentTime(MovieTime::fromSeconds(6.2));
        QTRY_COMPARE_WITH_TIMEOUT(screen_.framesShown(app->window()).value(0), std::optional(62), EngineTimeoutMs);
    }

    void snapshotSavesWhatThePanesShow_data()
    {
        QTest::addColumn<bool>("openGL");
        QTest::newRow("the machine's drawing path") << false;
        QTest::newRow("OpenGL") << true;
    }

    void snapshotSavesWhatThePanesShow()
    {
        QFETCH(bool, openGL);
        test::TestHome home;
        const auto app = startOn(home, clips_.barcode, openGL);
        QVERIFY(app);
        for (int n = 1; n <= 4; ++n)
            app->pane(n).movie()->setCurrentTime(MovieTime{30 + n, 25, 0});
        const QList<std::optional<int>> frames{31, 32, 33, 34};
        QTRY_COMPARE_WITH_TIMEOUT(shown(*app), test::ScreenProbe::text(frames), EngineTimeoutMs);

        PaneSnapshot& snapshot = app->nib->paneSnapshot();
        QCOMPARE(snapshot.folder(), QDir(home.path()).filePath(QStringLiteral("Pictures/Tetrapan")));
        QSignalSpy finished(&snapshot, &PaneSnapshot::snapshotFinished);
        typeIntoMainWindow('s', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, EngineTimeoutMs);
        QVERIFY(app->dialogs.alerts.isEmpty());

        const QStringList paths = finished.first().first().toStringList();
        QCOMPARE(paths.size(), qsizetype(5));
        // named after the chosen playlist: "Match_1 2026-12-07 14-03-22.png", then its panes in order
        QVERIFY2(QFileInfo(paths[0]).fileName().startsWith(QStringLiteral("Match_1 20")),
                 qPrintable(paths[0]));
        const QWidget* area = app->nib->mainWindow().spvMain();
        QImageReader reader(paths[0]);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage whole = reader.read();
        QCOMPARE(whole.size(), area->size() * area->devicePixelRatio());
        for (int n = 1; n <= 4; ++n) {
            QImageReader paneReader(paths[n]);
            QCOMPARE(paneReader.format(), QByteArray("png"));
            const QImage picture = paneReader.read();
            QCOMPARE(picture.size(), QSize(320, 240));
            QCOMPARE(test::FrameBarcode::read(picture), frames[n - 1]);
            // the window's picture shows the same frame where the pane is
            const MovieView* view = app->nib->qtView(n).movieView();
            const QRect inWhole =
                test::FrameBarcode::pictureRect(view->size(), test::ScreenProbe::PictureAspect)
                    .translated(view->mapTo(area, QPoint(0, 0)));
            QCOMPARE(test::FrameBarcode::read(whole.copy(inWhole)), frames[n - 1]);
            // and the bars beside the picture black, as on the screen
            QCOMPARE(whole.pixel(inWhole.left() - 2, inWhole.center().y()), qRgb(0, 0, 0));
        }
    }

    void fourPanesShowTheSameFrame_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<bool>("locked");
        QTest::newRow("locked, with sound") << clips_.barcodeLong << true;
        QTest::newRow("locked, no sound track") << clips_.barcodeSilent << true;
        // the lock off, the panes started together are held on one clock for a moment after the start
        QTest::newRow("started together, with sound") << clips_.barcodeLong << false;
        QTest::newRow("started together, no sound track") << clips_.barcodeSilent << false;
    }

    void fourPanesShowTheSameFrame()
    {
        QFETCH(QString, clip);
        QFETCH(bool, locked);
        test::TestHome home;
        const auto app = startOn(home, clip);
        QVERIFY(app);
        QTRY_COMPARE_WITH_TIMEOUT(shown(*app), allAt(0), EngineTimeoutMs);

        // as the menu does
        userDefaultsExtension::setDefaultBoolValue(app->settings, locked,
                                                   QLatin1String(SyncLock::OptSyncLock));
        QCOMPARE(app->nib->syncLock().isEnabled(), locked);
        QCOMPARE(app->window().syncLockAction()->isChecked(), locked);
        app->coordinator().changeAllMoviePlay();
        QCOMPARE(app->nib->syncLock().isHoldingStart(), !locked);
        QTest::qWait(500);

        int read = 0;
        int withinOne = 0;
        int same = 0;
        int last = 0;
        // a shot every tenth of a second: unlocked while the start is held, locked over three seconds (the
        // lock over a longer stretch: aPaneAtItsRateStaysOnTheLeadersFrame)
        const int interval = ShotIntervalMs / 2;
        const int shots = locked ? Shots : 2500 / interval;
        for (int i = 0; i < shots; ++i) {
            const auto frames = screen_.framesShown(app->window());
            if (frames.size() == 4 &&
                std::all_of(frames.begin(), frames.end(), [](const auto& f) { return f.has_value(); })) {
                const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
                ++read;
                withinOne += **high - **low <= 1 ? 1 : 0;
                same += **high == **low ? 1 : 0;
                last = **high;
            }
            QTest::qWait(interval);
        }
        // the panes played all along, and most screenshots read (some catch a pane between two frames)
        QVERIFY2(last > test::TestClips::FramesPerSecond * shots * interval / 2000,
                 qPrintable(QString::number(last)));
        QVERIFY2(read >= shots / 2, qPrintable(QString::number(read)));
        // Idle, all of them show the same frame; the margins are for a loaded machine.
        QVERIFY2(withinOne >= read * 9 / 10, qPrintable(QStringLiteral("%1 of %2").arg(withinOne).arg(read)));
        QVERIFY2(same >= read * 3 / 4, qPrintable(QStringLiteral("%1 of %2").arg(same).arg(read)));
        if (!locked) {
            // the hold ends by itself and every pane plays on at its own speed
            QTRY_VERIFY_WITH_TIMEOUT(!app->nib->syncLock().isHoldingStart(), EngineTimeoutMs);
            for (int n = 1; n <= 4; ++n) {
                QVERIFY(app->pane(n).movie()->rate() != 0.0f);
                QCOMPARE(app->pane(n).movie()->speed(), 1.0);
            }
        }
        // every stop leaves every pane on the leader's frame, each player pausing where it was left one a
        // frame off now and then; unlocked too, since they played within a frame of each other
        for (int stop = 0; stop < Stops; ++stop) {
            app->coordinator().changeAllMoviePlay();
            // On a loaded machine a pane may still be on its way to the leader's frame: wait until the
            // picture stands (two reads alike, further apart than a frame lasts), then all must be alike.
            // Each look reads the screen twice, so that a last look after the time is up judges the same.
            QString stood;
            const auto standsAlike = [&] {
                stood = shown(*app);
                QTest::qWait(FrameMs * 3 / 2);
                const QString now = shown(*app);
                return now == stood && now == allAt(now.section(QLatin1Char(' '), 0, 0).toInt());
            };
            QTRY_VERIFY2_WITH_TIMEOUT(standsAlike(), qPrintable(stood + QStringLiteral("; ") + players(*app)),
                                      EngineTimeoutMs);
            app->coordinator().changeAllMoviePlay();
            QTest::qWait(300 + 70 * stop);
        }
    }

    // The same pictures at 24 fps in pane 2, at rate 25/24 against the 25 fps leader: with the lock on,
    // both show the same picture seconds later (without the rate pane 2 falls a frame behind every second).
    void aPaneAtItsRateStaysOnTheLeadersFrame()
    {
        test::TestHome home;
        const auto app = startOn(home, {clips_.barcodeLong, clips_.barcode24}, false);
        QVERIFY(app);
        QVERIFY(app->coordinator().offsets().setRate(2, 25.0 / 24.0));
        userDefaultsExtension::setDefaultBoolValue(app->settings, true, QLatin1String(SyncLock::OptSyncLock));
        app->coordinator().changeAllMoviePlay();
        QTest::qWait(1500);
        int read = 0;
        int same = 0;
        int withinOne = 0;
        int last = 0;
        for (int i = 0; i < Shots; ++i) {
            const auto frames = screen_.framesShown(app->window());
            if (frames.value(0) && frames.value(1)) {
                ++read;
                same += *frames[0] == *frames[1] ? 1 : 0;
                withinOne += std::abs(*frames[0] - *frames[1]) <= 1 ? 1 : 0;
                last = *frames[0];
            }
            QTest::qWait(ShotIntervalMs);
        }
        QCOMPARE(app->pane(2).movie()->rate() != 0.0f, true);
        // 7.5 s of playing, so pane 2 would stand 7 frames behind at its own speed
        QVERIFY2(last > test::TestClips::FramesPerSecond * 6, qPrintable(QString::number(last)));
        QVERIFY2(read >= Shots / 2, qPrintable(QString::number(read)));
        QVERIFY2(withinOne >= read * 9 / 10, qPrintable(QStringLiteral("%1 of %2").arg(withinOne).arg(read)));
        QVERIFY2(same >= read * 3 / 4, qPrintable(QStringLiteral("%1 of %2").arg(same).arg(read)));
    }
};

QTEST_MAIN(TestPanesFrames)
#include "tst_panesframes.moc"
