// Four panes on the real engine, each showing one colour clip, read back pixel by pixel. On the offscreen
// platform the software path draws; on X the OpenGL path is forced, whatever the GL driver.
#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeScheduler.h"
#include "NoSoundDevice.h"
#include "TestClips.h"

#include "engine/MpvMovieEngine.h"
#include "engine/MpvMovieView.h"
#include "panes/QTMovieSubView.h"
#include "platform/SettingsDomain.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>

using namespace tetrapan;

namespace {
constexpr int DrawTimeoutMs = 15000;

bool onX()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// What the screen shows at a point of the pane: on X what the X server holds, elsewhere what the window
// paints.
QColor colourAt(QTMovieSubView* pane, QPoint point)
{
    QWidget* top = pane->window();
    const QPoint at = pane->mapTo(top, point);
    if (!onX())
        return top->grab(QRect(at, QSize(1, 1))).toImage().pixelColor(0, 0);
    const QImage shot = top->screen()->grabWindow(top->winId(), at.x(), at.y(), 1, 1).toImage();
    return shot.isNull() ? QColor() : shot.pixelColor(0, 0);
}

// Waits until the point shows the colour, give or take; tells what it saw when it never does.
bool shows(QTMovieSubView* pane, QPoint point, QColor expected)
{
    QElapsedTimer waited;
    waited.start();
    QColor seen;
    do {
        seen = colourAt(pane, point);
        if (qAbs(seen.red() - expected.red()) <= 48 && qAbs(seen.green() - expected.green()) <= 48 &&
            qAbs(seen.blue() - expected.blue()) <= 48)
            return true;
        QTest::qWait(50);
    } while (waited.elapsed() < DrawTimeoutMs);
    qWarning("pane %d shows rgb(%d, %d, %d)", pane->viewNo(), seen.red(), seen.green(), seen.blue());
    return false;
}
} // namespace

class TestPanePixels : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        clips_ = test::TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
        settings_ = std::make_unique<SettingsDomain>(home_.filePath("Tetrapan.json"));
        engine_ = std::make_unique<MpvMovieEngine>(options(true));
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
    void eachPaneShowsItsClip()
    {
        const std::array<QColor, 4> colours{QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255),
                                            QColor(255, 255, 0)};
        for (int n = 1; n <= 4; ++n)
            QVERIFY(panes_[n - 1]->createMovieView(clips_.colour(n)));
        for (QTMovieSubView* pane : panes_) {
            QCOMPARE(static_cast<MpvMovieView*>(pane->movieView())->drawingPath(), engine_->drawingPath());
            // Well away from the frame counter in the top left corner.
            QVERIFY(shows(pane, QPoint(pane->width() * 2 / 3, pane->height() * 2 / 3),
                          colours[pane->viewNo() - 1]));
        }
    }

    void paneMovedToAnotherWindowStillDraws()
    {
        // Moving a pane to another window gives its GL surface a new context, so a new render context.
        QTMovieSubView* pane = panes_[0];
        QVERIFY(pane->createMovieView(clips_.red));
        QWidget other;
        other.resize(320, 240);
        pane->setParent(&other);
        pane->setGeometry(0, 0, 320, 240);
        pane->show();
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QVERIFY(shows(pane, QPoint(200, 160), QColor(255, 0, 0)));
        // Playing on shows the clip moving, not a picture left over from before the move.
        pane->playMovie();
        QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime() > MovieTime::fromSeconds(0.5), DrawTimeoutMs);
        QVERIFY(shows(pane, QPoint(200, 160), QColor(255, 0, 0)));
        pane->stopMovie();
        pane->setParent(window_.get());
    }

    void scaleToFitFillsWidePane()
    {
        QTMovieSubView* pane = panes_[2];
        QVERIFY(pane->createMovieView(clips_.blue));
        window_->resize(1200, 480); // panes 600x240: a 4:3 picture leaves bars left and right
        QTRY_COMPARE(pane->width(), 600);
        const QPoint nearLeftEdge(10, 200);
        QVERIFY(shows(pane, nearLeftEdge, Qt::black));
        pane->changeMovieAspect();
        QVERIFY(!pane->isKeepAspect());
        QVERIFY(shows(pane, nearLeftEdge, QColor(0, 0, 255)));
        pane->changeMovieAspect();
        QVERIFY(shows(pane, nearLeftEdge, Qt::black));
    }

    // A machine with no sound device (no speakers, a headless review station) must still show and play
    // movies.
    void drawsAndPlaysWithoutASoundDevice()
    {
        test::NoSoundDevice noSound;
        MpvMovieEngine engine(options(false));
        QWidget window;
        QTMovieSubView* pane = makePane(engine, 2, &window);
        window.resize(320, 240);
        pane->resize(320, 240);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(pane->createMovieView(clips_.colour(2)));
        QVERIFY(shows(pane, QPoint(160, 100), QColor(0, 255, 0)));
        pane->setMoviePlay(true);
        QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime().seconds() > 0.3, DrawTimeoutMs);
        pane->setMoviePlay(false);
    }

private:
    QTMovieSubView* makePane(MovieEngine& engine, int viewNo, QWidget* parent)
    {
        auto* pane = new QTMovieSubView({engine, *settings_, scheduler_, dialogs_, fileViewer_}, parent);
        pane->setViewNo(viewNo);
        pane->awakeFromNib();
        return pane;
    }
    static MpvMovieEngine::Options options(bool nullAudio)
    {
        MpvMovieEngine::Options options;
        options.movie.nullAudio = nullAudio;
        if (onX())
            options.drawingPath = DrawingPath::OpenGL;
        return options;
    }

    test::TestClips clips_;
    QTemporaryDir home_;
    std::unique_ptr<SettingsDomain> settings_;
    std::unique_ptr<MpvMovieEngine> engine_;
    test::FakeScheduler scheduler_;
    test::FakeDialogPresenter dialogs_;
    test::FakeFileViewer fileViewer_;
    std::unique_ptr<QWidget> window_;
    std::array<QTMovieSubView*, 4> panes_{};
};

QTEST_MAIN(TestPanePixels)
#include "tst_panepixels.moc"
