// The whole application on the real engine under X, read back from the screen: "." and "," step all four
// panes one frame on and back, also where frames are unevenly spaced, and a snapshot saves what the panes
// show, each pane's picture at the video's own size.
#include "FrameBarcode.h"
#include "RealApp.h"
#include "TestClips.h"
#include "TestHome.h"
#include "XServer.h"

#include "engine/Movie.h"
#include "engine/MovieView.h"
#include "layout/SplitSubView.h"
#include "panes/MovController.h"
#include "panes/PaneSnapshot.h"
#include "platform/Scheduler.h"

#include <QDir>
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;

namespace {

constexpr int EngineTimeoutMs = 15000;
constexpr double PictureAspect = 4.0 / 3.0;
// A '/' in the title cannot be part of a file name.
const QString PlaylistTitle = QStringLiteral("Match/1");

using Run = test::RealApp<QtScheduler>;

// The frame each pane shows on the screen; nullopt where the picture does not read.
QList<std::optional<int>> shownFrames(test::XServer& x, MainNib& nib)
{
    QList<std::optional<int>> frames;
    for (int n = 1; n <= 4; ++n) {
        MovieView* view = nib.qtView(n).movieView();
        const QRect picture = test::FrameBarcode::pictureRect(view->size(), PictureAspect)
                                  .translated(view->mapToGlobal(QPoint(0, 0)));
        frames << test::FrameBarcode::read(x.grab(picture));
    }
    return frames;
}

// "25 25 25 25"; "?" for a picture that does not read.
QString describe(const QList<std::optional<int>>& frames)
{
    QStringList texts;
    for (const std::optional<int>& frame : frames)
        texts << (frame ? QString::number(*frame) : QStringLiteral("?"));
    return texts.join(QLatin1Char(' '));
}

std::optional<DrawingPath> drawingPath(bool openGL)
{
    return openGL ? std::optional<DrawingPath>(DrawingPath::OpenGL) : std::nullopt;
}

QString allAt(int frame)
{
    return describe(QList<std::optional<int>>(4, frame));
}

} // namespace

class TestPanesFrames : public QObject {
    Q_OBJECT
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
        const QString clip = uneven ? clips_.barcodeVfr : clips_.barcode;
        test::TestHome home;
        QVERIFY(test::writeOnePlaylistHome(home, PlaylistTitle, QStringList(4, clip)));
        Run run(home, QSize(800, 600), drawingPath(openGL));
        QVERIFY(QTest::qWaitForWindowExposed(&run.nib->mainWindow()));
        for (int n = 1; n <= 4; ++n)
            QTRY_VERIFY_WITH_TIMEOUT(run.pane(n).isPlayable(), EngineTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(describe(shownFrames(x_, *run.nib)), allAt(0), EngineTimeoutMs);

        for (int n = 1; n <= 4; ++n)
            run.pane(n).movie()->setCurrentTime(MovieTime{start, 25, 0});
        QTRY_COMPARE_WITH_TIMEOUT(describe(shownFrames(x_, *run.nib)), allAt(start), EngineTimeoutMs);

        const test::XServer::Window window = x_.find(PlaylistTitle);
        QVERIFY(window.id != XCB_WINDOW_NONE);
        x_.focus(window);
        x_.key(window, '.');
        QTRY_COMPARE_WITH_TIMEOUT(describe(shownFrames(x_, *run.nib)), allAt(next), EngineTimeoutMs);
        x_.key(window, ',');
        QTRY_COMPARE_WITH_TIMEOUT(describe(shownFrames(x_, *run.nib)), allAt(start), EngineTimeoutMs);
        // the menu item does the same
        run.nib->mainWindow().stepBackAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(describe(shownFrames(x_, *run.nib)), allAt(before), EngineTimeoutMs);
        for (int n = 1; n <= 4; ++n)
            QVERIFY(!run.pane(n).isPlaying());
    }

    void playingPanesStopBeforeTheStep()
    {
        test::TestHome home;
        QVERIFY(test::writeOnePlaylistHome(home, PlaylistTitle, QStringList(4, clips_.barcode)));
        Run run(home, QSize(800, 600));
        QVERIFY(QTest::qWaitForWindowExposed(&run.nib->mainWindow()));
        for (int n = 1; n <= 4; ++n)
            QTRY_VERIFY_WITH_TIMEOUT(run.pane(n).isPlayable(), EngineTimeoutMs);
        MovController& controller = run.nib->movController();
        controller.changeAllMoviePlay();
        QTRY_VERIFY_WITH_TIMEOUT(run.pane(1).movie()->currentTime().seconds() > 0.3, EngineTimeoutMs);
        controller.stepAllMovieFrame(true);
        for (int n = 1; n <= 4; ++n)
            QVERIFY(!run.pane(n).isPlaying());
        // each shows a frame and stays on it
        QTest::qWait(500);
        QVERIFY(!shownFrames(x_, *run.nib).contains(std::nullopt));
        const QString stepped = describe(shownFrames(x_, *run.nib));
        QTest::qWait(500);
        QCOMPARE(describe(shownFrames(x_, *run.nib)), stepped);
        for (int n = 1; n <= 4; ++n)
            QVERIFY(!run.pane(n).isPlaying());
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
        QVERIFY(test::writeOnePlaylistHome(home, PlaylistTitle, QStringList(4, clips_.barcode)));
        Run run(home, QSize(800, 600), drawingPath(openGL));
        QVERIFY(QTest::qWaitForWindowExposed(&run.nib->mainWindow()));
        for (int n = 1; n <= 4; ++n) {
            QTRY_VERIFY_WITH_TIMEOUT(run.pane(n).isPlayable(), EngineTimeoutMs);
            run.pane(n).movie()->setCurrentTime(MovieTime{30 + n, 25, 0});
        }
        const QList<std::optional<int>> shown{31, 32, 33, 34};
        QTRY_COMPARE_WITH_TIMEOUT(describe(shownFrames(x_, *run.nib)), describe(shown), EngineTimeoutMs);

        PaneSnapshot& snapshot = run.nib->paneSnapshot();
        QCOMPARE(snapshot.folder(), QDir(home.path()).filePath(QStringLiteral("Pictures/Tetrapan")));
        QSignalSpy finished(&snapshot, &PaneSnapshot::snapshotFinished);
        const test::XServer::Window window = x_.find(PlaylistTitle);
        x_.focus(window);
        x_.key(window, 's', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, EngineTimeoutMs);
        QVERIFY(run.dialogs.alerts.isEmpty());

        const QStringList paths = finished.first().first().toStringList();
        QCOMPARE(paths.size(), qsizetype(5));
        QCOMPARE(QDir(snapshot.folder()).entryList(QDir::Files).size(), qsizetype(5));
        // "Match_1 2026-12-07 14-03-22.png", then "... pane 1.png" to "... pane 4.png"
        const QString stem = QFileInfo(paths[0]).completeBaseName();
        QVERIFY2(stem.startsWith(QStringLiteral("Match_1 20")), qPrintable(stem));
        const QWidget* area = run.nib->mainWindow().spvMain();
        QImageReader reader(paths[0]);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage whole = reader.read();
        QCOMPARE(whole.size(), area->size() * area->devicePixelRatio());
        for (int n = 1; n <= 4; ++n) {
            QCOMPARE(paths[n],
                     QDir(snapshot.folder()).filePath(stem + QStringLiteral(" pane %1.png").arg(n)));
            QImageReader paneReader(paths[n]);
            QCOMPARE(paneReader.format(), QByteArray("png"));
            const QImage picture = paneReader.read();
            QCOMPARE(picture.size(), QSize(320, 240));
            QCOMPARE(test::FrameBarcode::read(picture), shown[n - 1]);
            // the window's picture shows the same frame where the pane is
            const MovieView* view = run.nib->qtView(n).movieView();
            const QRect inWhole = test::FrameBarcode::pictureRect(view->size(), PictureAspect)
                                      .translated(view->mapTo(area, QPoint(0, 0)));
            QCOMPARE(test::FrameBarcode::read(whole.copy(inWhole)), shown[n - 1]);
        }
    }

private:
    test::TestClips clips_;
    test::XServer x_;
};

QTEST_MAIN(TestPanesFrames)
#include "tst_panesframes.moc"
