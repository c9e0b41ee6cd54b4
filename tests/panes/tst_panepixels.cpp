// Panes on the real engine, each showing a clip, read back pixel by pixel. On the offscreen platform the
// software path draws; on X the OpenGL path is forced, whatever the GL driver. The machine has no sound
// device: movies must still show and play, also four with sound started together again and again.
#include "OpenAndWait.h"
#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeScheduler.h"
#include "NoSoundDevice.h"
#include "ScreenProbe.h"
#include "TestClips.h"

#include "engine/MpvMovieEngine.h"
#include "engine/MpvMovieView.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/SettingsDomain.h"

#include <QApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QSpontaneKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <array>
#include <atomic>
#include <memory>
#include <thread>

#include <dlfcn.h>
#include <mpv/render.h>

using namespace tetrapan;

namespace {

constexpr int DrawTimeoutMs = 15000;
constexpr int SoundStartRounds = 30;

bool onX()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Pixels clearly brighter than the black around a picture.
int brightPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += qGray(image.pixel(x, y)) > 128;
    }
    return count;
}

// Pictures the software renderer drew at a pane's size (not the opener's small one), on the GUI thread and
// elsewhere; the engine's calls come here first (this program's definition hides libmpv's).
std::atomic<int> paneSizedOnGuiThread{0};
std::atomic<int> paneSizedElsewhere{0};
const std::thread::id guiThread = std::this_thread::get_id();
const auto realRender =
    reinterpret_cast<decltype(&mpv_render_context_render)>(dlsym(RTLD_NEXT, "mpv_render_context_render"));

} // namespace

int mpv_render_context_render(mpv_render_context* context, mpv_render_param* params)
{
    for (const mpv_render_param* p = params; p->type != MPV_RENDER_PARAM_INVALID; ++p) {
        if (p->type == MPV_RENDER_PARAM_SW_SIZE && static_cast<const int*>(p->data)[0] >= 100)
            ++(std::this_thread::get_id() == guiThread ? paneSizedOnGuiThread : paneSizedElsewhere);
    }
    return realRender(context, params);
}

class TestPanePixels : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        clips_ = test::TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
        settings_ = std::make_unique<SettingsDomain>(home_.filePath("Tetrapan.json"));
        engine_ = std::make_unique<MpvMovieEngine>(options());
        controller_ = std::make_unique<MovController>(scheduler_, *settings_);
        QCOMPARE(engine_->drawingPath(), onX() ? DrawingPath::OpenGL : DrawingPath::Software);
    }

    void init()
    {
        window_ = std::make_unique<QWidget>();
        auto* grid = new QGridLayout(window_.get());
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(0);
        // Panes 1 and 2 on the left, 3 and 4 on the right, odd ones on top.
        for (int n = 1; n <= 4; ++n)
            grid->addWidget(panes_[n - 1] = makePane(*engine_, n, window_.get()), (n - 1) % 2, (n - 1) / 2);
        window_->resize(640, 480);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup() { window_.reset(); }
    void paneMovedToAnotherWindowStillDraws_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("with sound") << clips_.red << QColor(255, 0, 0);
        // mpv closes a file without sound when its picture has nowhere to go
        QTest::newRow("without sound")
            << clips_.kind(QStringLiteral("video-only.mp4")) << QColor(0, 255, 255);
    }

    void paneMovedToAnotherWindowStillDraws()
    {
        QFETCH(QString, file);
        QFETCH(QColor, colour);
        // Moving a pane to another window gives its GL surface a new context, so a new render context.
        QTMovieSubView* pane = panes_[0];
        QVERIFY(test::openInPane(*pane, file));
        QWidget other;
        other.resize(320, 240);
        pane->setParent(&other);
        pane->setGeometry(0, 0, 320, 240);
        pane->show();
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QVERIFY(screen_.waitFor(*pane, QPoint(200, 160), colour));
        // Playing on shows the clip moving, not a picture left over from before the move.
        pane->playMovie();
        QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime() > MovieTime::fromSeconds(0.5), DrawTimeoutMs);
        QVERIFY(screen_.waitFor(*pane, QPoint(200, 160), colour));
        pane->stopMovie();
        pane->setParent(window_.get());
    }

    void scaleToFitFillsWidePane()
    {
        QTMovieSubView* pane = panes_[2];
        QVERIFY(test::openInPane(*pane, clips_.blue));
        window_->resize(1200, 480); // panes 600x240: a 4:3 picture leaves bars left and right
        QTRY_COMPARE(pane->width(), 600);
        const QPoint nearLeftEdge(10, 200);
        QVERIFY(screen_.waitFor(*pane, nearLeftEdge, Qt::black));
        pane->changeMovieAspect();
        QVERIFY(!pane->isKeepAspect());
        QVERIFY(screen_.waitFor(*pane, nearLeftEdge, QColor(0, 0, 255)));
        pane->changeMovieAspect();
        QVERIFY(screen_.waitFor(*pane, nearLeftEdge, Qt::black));
    }

    // Ctrl and the wheel over a pane enlarge its picture around the pointer: red left and blue right, zoomed
    // 4 times at 40 % across, the edge between them moves from the middle to 80 % across.
    void ctrlWheelZoomsAroundThePointer()
    {
        QTMovieSubView* pane = panes_[0];
        QVERIFY(test::openInPane(*pane, clips_.kind(QStringLiteral("upright.mp4"))));
        const auto across = [pane](double share) {
            return QPoint(qRound(pane->width() * share), pane->height() / 2);
        };
        QVERIFY(screen_.waitFor(*pane, across(0.55), QColor(0, 0, 255)));
        // as the window system delivers it: to the picture's own widget under the pointer
        QWidget* picture = pane->childAt(across(0.4));
        QVERIFY(picture);
        const QPointF at = picture->mapFrom(pane, QPointF(across(0.4)));
        QWheelEvent wheel(at, picture->mapToGlobal(at), {}, {0, 6 * 120}, Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        // as the window system's: only such a wheel goes on to the widgets under the one it reached
        QSpontaneKeyEvent::setSpontaneous(&wheel);
        qApp->notify(picture, &wheel);
        QCOMPARE(pane->movieView()->zoom().factor, 4.0);
        for (const auto& [share, colour] :
             {std::pair{0.4, QColor(255, 0, 0)}, std::pair{0.55, QColor(255, 0, 0)},
              std::pair{0.75, QColor(255, 0, 0)}, std::pair{0.85, QColor(0, 0, 255)}})
            QVERIFY2(screen_.waitFor(*pane, across(share), colour), qPrintable(QString::number(share)));
    }

    // Whatever a user's camera, phone or screen recorder wrote: the first frame shows as soon as the file
    // is loaded, upright.
    void everyKindOfFileShowsItsFirstFrame_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QColor>("upper"); // the middle of the pane's upper half
        QTest::addColumn<QColor>("lower"); // the middle of its lower half
        for (const QString& file : test::TestClips::KindFileNames)
            QTest::newRow(qPrintable(file))
                << file << test::TestClips::kindShows(file).upper << test::TestClips::kindShows(file).lower;
    }

    void everyKindOfFileShowsItsFirstFrame()
    {
        QFETCH(QString, file);
        QFETCH(QColor, upper);
        QFETCH(QColor, lower);
        QTMovieSubView* pane = panes_[3];
        QVERIFY(test::openInPane(*pane, clips_.kind(file)));
        QCOMPARE(static_cast<MpvMovieView*>(pane->movieView())->drawingPath(), engine_->drawingPath());
        QVERIFY(screen_.waitFor(*pane, QPoint(pane->width() / 2, pane->height() / 4), upper));
        QVERIFY(screen_.waitFor(*pane, QPoint(pane->width() / 2, pane->height() * 3 / 4), lower));
        // It plays, and the picture keeps the shape it shows in, turned or not, after all that mpv reports as
        // it starts (which for a phone's movie on the OpenGL path first told the turned size, then the stored
        // one): the pixel readout, the zoom and compared panes go by it. All of these files are 4:3, a
        // phone's turned upright.
        pane->playMovie();
        QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime().seconds() > 0.2, DrawTimeoutMs);
        const QSize shape = static_cast<MpvMovieView*>(pane->movieView())->sourcePictureSize();
        QCOMPARE(shape.height() > shape.width(), file == QStringLiteral("rotated.mp4"));
    }

    // A file with sound only has no picture to show; its pane names it, so the user sees what is playing.
    void soundOnlyFileShowsItsName()
    {
        QTMovieSubView* pane = panes_[1];
        QVERIFY(test::openInPane(*pane, clips_.tone));
        const QRect band(0, pane->height() / 3, pane->width(), pane->height() / 3);
        QTRY_VERIFY_WITH_TIMEOUT(brightPixels(screen_.grab(*pane, band)) > 20, DrawTimeoutMs);
        QCOMPARE(brightPixels(screen_.grab(*pane, QRect(0, 0, pane->width(), pane->height() / 4))), 0);
        pane->playMovie();
        QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime().seconds() > 0.3, DrawTimeoutMs);
        // a movie with pictures loaded after it draws again
        QVERIFY(test::openInPane(*pane, clips_.green));
        QVERIFY(screen_.waitFor(*pane, QPoint(pane->width() * 2 / 3, pane->height() / 2), QColor(0, 255, 0)));
    }

    // Scaling the pictures to the panes is most of what drawing them costs: the GUI thread, which answers the
    // user, only puts finished pictures on the screen.
    void picturesAreScaledOffTheGuiThread()
    {
        if (onX())
            QSKIP("the offscreen run of these tests draws in software");
        paneSizedOnGuiThread = paneSizedElsewhere = 0;
        for (QTMovieSubView* pane : panes_) {
            QVERIFY(test::openInPane(*pane, clips_.colour(pane->viewNo())));
            pane->playMovie();
        }
        QTRY_VERIFY_WITH_TIMEOUT(panes_[0]->movie()->currentTime().seconds() > 1.0, DrawTimeoutMs);
        QVERIFY(paneSizedElsewhere > 4 * test::TestClips::FramesPerSecond / 2);
        QCOMPARE(paneSizedOnGuiThread.load(), 0);
    }

    // Every mpv core starts its sound output at the same moment as the others, as a playlist switch starts
    // them, and they shut down together while the next ones start. Some sound libraries are not safe for
    // that and crash or deadlock the process. The drawing path plays no part: the offscreen run tries it.
    void fourPanesWithSoundStartTogetherAgainAndAgain()
    {
        if (onX())
            QSKIP("the offscreen run of these tests starts the sound");
        QStringList paths;
        for (int n = 1; n <= 4; ++n)
            paths << clips_.colour(n);
        for (int round = 1; round <= SoundStartRounds; ++round) {
            engine_->prepareMovies(paths);
            for (QTMovieSubView* pane : panes_)
                QVERIFY2(test::openInPane(*pane, paths[pane->viewNo() - 1]),
                         qPrintable(QString::number(round)));
            engine_->discardPreparedMovies();
            for (QTMovieSubView* pane : panes_)
                pane->playMovie();
            for (QTMovieSubView* pane : panes_)
                QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime().seconds() > 0.1, DrawTimeoutMs);
            for (QTMovieSubView* pane : panes_)
                pane->clearMovieView();
        }
    }

private:
    QTMovieSubView* makePane(MovieEngine& engine, int viewNo, QWidget* parent)
    {
        auto* pane = new QTMovieSubView({engine, *settings_, scheduler_, dialogs_, fileViewer_}, parent);
        pane->setViewNo(viewNo);
        pane->setMovController(controller_.get());
        controller_->setQtView(viewNo, pane);
        pane->awakeFromNib();
        return pane;
    }
    static MpvMovieEngine::Options options()
    {
        MpvMovieEngine::Options options;
        if (onX())
            options.drawingPath = DrawingPath::OpenGL;
        return options;
    }

    test::TestClips clips_;
    test::NoSoundDevice noSound_;
    test::ScreenProbe screen_;
    QTemporaryDir home_;
    std::unique_ptr<SettingsDomain> settings_;
    std::unique_ptr<MpvMovieEngine> engine_;
    test::FakeScheduler scheduler_;
    test::FakeDialogPresenter dialogs_;
    test::FakeFileViewer fileViewer_;
    std::unique_ptr<MovController> controller_;
    std::unique_ptr<QWidget> window_;
    std::array<QTMovieSubView*, 4> panes_{};
};

QTEST_MAIN(TestPanePixels)
#include "tst_panepixels.moc"
