// Four panes on the real engine, each showing one colour clip, read back pixel by pixel. On the offscreen
// platform the software path draws; on X the OpenGL path is forced, whatever the GL driver. The machine has
// no sound device: movies must still show and play.
#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeScheduler.h"
#include "FrameBarcode.h"
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

// What the screen shows of a part of the pane: on X what the X server holds, elsewhere what the window
// paints.
QImage shownIn(QTMovieSubView* pane, QRect area)
{
    QWidget* top = pane->window();
    const QRect at(pane->mapTo(top, area.topLeft()), area.size());
    if (!onX())
        return top->grab(at).toImage();
    return top->screen()->grabWindow(top->winId(), at.x(), at.y(), at.width(), at.height()).toImage();
}

QColor colourAt(QTMovieSubView* pane, QPoint point)
{
    const QImage shot = shownIn(pane, QRect(point, QSize(1, 1)));
    return shot.isNull() ? QColor() : shot.pixelColor(0, 0);
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
        engine_ = std::make_unique<MpvMovieEngine>(options());
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
        QVERIFY(pane->createMovieView(file));
        QWidget other;
        other.resize(320, 240);
        pane->setParent(&other);
        pane->setGeometry(0, 0, 320, 240);
        pane->show();
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QVERIFY(shows(pane, QPoint(200, 160), colour));
        // Playing on shows the clip moving, not a picture left over from before the move.
        pane->playMovie();
        QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime() > MovieTime::fromSeconds(0.5), DrawTimeoutMs);
        QVERIFY(shows(pane, QPoint(200, 160), colour));
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

    // Whatever a user's camera, phone or screen recorder wrote: the first frame shows as soon as the file
    // is loaded, upright.
    void everyKindOfFileShowsItsFirstFrame_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QColor>("upper"); // the middle of the pane's upper half
        QTest::addColumn<QColor>("lower"); // the middle of its lower half
        const auto row = [](const char* file, QColor upper, QColor lower) {
            QTest::newRow(file) << QString::fromLatin1(file) << upper << lower;
        };
        row("video-only.mp4", QColor(0, 255, 255), QColor(0, 255, 255));
        row("vp9.webm", QColor(255, 0, 255), QColor(255, 0, 255));
        row("hevc.mkv", QColor(255, 128, 0), QColor(255, 128, 0));
        row("mjpeg.avi", QColor(128, 0, 255), QColor(128, 0, 255));
        row("prores.mov", QColor(0, 128, 255), QColor(0, 128, 255));
        // stored red left and blue right, turned by its metadata
        row("rotated.mp4", QColor(0, 0, 255), QColor(255, 0, 0));
        row("vfr.mp4", QColor(255, 0, 128), QColor(255, 0, 128));
        row("10bit.mp4", QColor(128, 255, 0), QColor(128, 255, 0));
    }

    void everyKindOfFileShowsItsFirstFrame()
    {
        QFETCH(QString, file);
        QFETCH(QColor, upper);
        QFETCH(QColor, lower);
        QTMovieSubView* pane = panes_[3];
        QVERIFY(pane->createMovieView(clips_.kind(file)));
        QVERIFY(shows(pane, QPoint(pane->width() / 2, pane->height() / 4), upper));
        QVERIFY(shows(pane, QPoint(pane->width() / 2, pane->height() * 3 / 4), lower));
    }

    // The frame a pane shows, read off the screen: the barcode every frame of the clip carries.
    void shownFrameReadsFromTheScreen()
    {
        QTMovieSubView* pane = panes_[2];
        QVERIFY(pane->createMovieView(clips_.barcode));
        const QRect picture = test::FrameBarcode::pictureRect(pane->size(), 4.0 / 3.0);
        const auto shown = [&] { return test::FrameBarcode::read(shownIn(pane, picture)); };
        QTRY_COMPARE_WITH_TIMEOUT(shown(), std::optional<int>(0), DrawTimeoutMs);
        for (int frame : {37, 100, 1}) {
            pane->movie()->setCurrentTime(MovieTime{frame, test::TestClips::FramesPerSecond, 0});
            QTRY_COMPARE_WITH_TIMEOUT(shown(), std::optional<int>(frame), DrawTimeoutMs);
        }
    }

    // A file with sound only has no picture to show; its pane names it, so the user sees what is playing.
    void soundOnlyFileShowsItsName()
    {
        QTMovieSubView* pane = panes_[1];
        QVERIFY(pane->createMovieView(clips_.tone));
        const QRect band(0, pane->height() / 3, pane->width(), pane->height() / 3);
        QTRY_VERIFY_WITH_TIMEOUT(brightPixels(shownIn(pane, band)) > 20, DrawTimeoutMs);
        QCOMPARE(brightPixels(shownIn(pane, QRect(0, 0, pane->width(), pane->height() / 4))), 0);
        pane->playMovie();
        QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime().seconds() > 0.3, DrawTimeoutMs);
        // a movie with pictures loaded after it draws again
        QVERIFY(pane->createMovieView(clips_.green));
        QVERIFY(shows(pane, QPoint(pane->width() * 2 / 3, pane->height() / 2), QColor(0, 255, 0)));
    }

private:
    QTMovieSubView* makePane(MovieEngine& engine, int viewNo, QWidget* parent)
    {
        auto* pane = new QTMovieSubView({engine, *settings_, scheduler_, dialogs_, fileViewer_}, parent);
        pane->setViewNo(viewNo);
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
