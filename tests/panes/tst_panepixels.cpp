// Four panes on the real engine, each showing one colour clip, read back pixel by pixel. On the offscreen
// platform the software path draws; on X the OpenGL path is forced, whatever the GL driver.
#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeScheduler.h"
#include "TestClips.h"

#include "engine/MpvMovieEngine.h"
#include "engine/MpvMovieView.h"
#include "panes/QTMovieSubView.h"
#include "platform/SettingsDomain.h"

#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <array>
#include <memory>

using namespace tetrapan;
using tetrapan::test::TestClips;

namespace {
constexpr int DrawTimeoutMs = 15000;

bool onX()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool near(QColor actual, QColor expected)
{
    constexpr int Tolerance = 48;
    return qAbs(actual.red() - expected.red()) <= Tolerance && qAbs(actual.green() - expected.green()) <= Tolerance &&
           qAbs(actual.blue() - expected.blue()) <= Tolerance;
}

QString describe(QColor c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}
} // namespace

class TestPanePixels : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void eachPaneShowsItsClip();
    void paneMovedToAnotherWindowStillDraws();
    void scaleToFitFillsWidePane();
    void drawsAndPlaysWithoutASoundDevice();

private:
    // What the screen shows at a point of the pane: on X what the X server holds, elsewhere what the window
    // paints.
    QColor colourAt(QTMovieSubView* pane, QPoint point);
    bool waitForColour(QTMovieSubView* pane, QPoint point, QColor expected, QColor* seen);

    TestClips clips_;
    QTemporaryDir home_;
    std::unique_ptr<SettingsDomain> settings_;
    std::unique_ptr<MpvMovieEngine> engine_;
    test::FakeScheduler scheduler_;
    test::FakeDialogPresenter dialogs_;
    test::FakeFileViewer fileViewer_;
    std::unique_ptr<QWidget> window_;
    std::array<QTMovieSubView*, 4> panes_{};
};

void TestPanePixels::initTestCase()
{
    clips_ = TestClips::makeForTests();
    QVERIFY2(clips_.ok(), qPrintable(clips_.error));
    settings_ = std::make_unique<SettingsDomain>(home_.filePath("Tetrapan.json"));
    MpvMovieEngine::Options options;
    options.movie.nullAudio = true;
    if (onX())
        options.drawingPath = DrawingPath::OpenGL;
    engine_ = std::make_unique<MpvMovieEngine>(options);
    QCOMPARE(engine_->drawingPath(), onX() ? DrawingPath::OpenGL : DrawingPath::Software);
}

void TestPanePixels::init()
{
    window_ = std::make_unique<QWidget>();
    auto* grid = new QGridLayout(window_.get());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    for (int n = 1; n <= 4; ++n) {
        auto* pane = new QTMovieSubView({*engine_, *settings_, scheduler_, dialogs_, fileViewer_}, window_.get());
        pane->setViewNo(n);
        pane->awakeFromNib();
        // Panes 1 and 2 on the left, 3 and 4 on the right, odd ones on top.
        grid->addWidget(pane, (n - 1) % 2, (n - 1) / 2);
        panes_[n - 1] = pane;
    }
    window_->resize(640, 480);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void TestPanePixels::cleanup()
{
    window_.reset();
}

QColor TestPanePixels::colourAt(QTMovieSubView* pane, QPoint point)
{
    QWidget* top = pane->window();
    const QPoint inWindow = pane->mapTo(top, point);
    if (onX()) {
        const QImage shot = top->screen()->grabWindow(top->winId(), inWindow.x(), inWindow.y(), 1, 1).toImage();
        return shot.isNull() ? QColor() : shot.pixelColor(0, 0);
    }
    return top->grab(QRect(inWindow, QSize(1, 1))).toImage().pixelColor(0, 0);
}

bool TestPanePixels::waitForColour(QTMovieSubView* pane, QPoint point, QColor expected, QColor* seen)
{
    QElapsedTimer waited;
    waited.start();
    do {
        *seen = colourAt(pane, point);
        if (near(*seen, expected))
            return true;
        QTest::qWait(50);
    } while (waited.elapsed() < DrawTimeoutMs);
    return false;
}

void TestPanePixels::eachPaneShowsItsClip()
{
    const std::array<QColor, 4> colours{QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 0)};
    for (int n = 1; n <= 4; ++n)
        QVERIFY(panes_[n - 1]->createMovieView(clips_.colour(n)));
    for (int n = 1; n <= 4; ++n) {
        QTMovieSubView* pane = panes_[n - 1];
        QCOMPARE(static_cast<MpvMovieView*>(pane->movieView())->drawingPath(), engine_->drawingPath());
        // Well away from the frame counter in the top left corner.
        const QPoint centre(pane->width() * 2 / 3, pane->height() * 2 / 3);
        QColor seen;
        QVERIFY2(waitForColour(pane, centre, colours[n - 1], &seen),
                 qPrintable(QStringLiteral("pane %1 shows %2").arg(n).arg(describe(seen))));
    }
}

void TestPanePixels::paneMovedToAnotherWindowStillDraws()
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
    QColor seen;
    QVERIFY2(waitForColour(pane, QPoint(200, 160), QColor(255, 0, 0), &seen), qPrintable(describe(seen)));
    // Playing on shows the clip moving, not a picture left over from before the move.
    pane->playMovie();
    QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime() > MovieTime::fromSeconds(0.5), DrawTimeoutMs);
    QVERIFY2(waitForColour(pane, QPoint(200, 160), QColor(255, 0, 0), &seen), qPrintable(describe(seen)));
    pane->stopMovie();
    pane->setParent(window_.get());
}

void TestPanePixels::scaleToFitFillsWidePane()
{
    QTMovieSubView* pane = panes_[2];
    QVERIFY(pane->createMovieView(clips_.blue));
    window_->resize(1200, 480); // panes 600x240: a 4:3 picture leaves bars left and right
    QTRY_COMPARE(pane->width(), 600);
    const QPoint nearLeftEdge(10, 200);
    QColor seen;
    QVERIFY2(waitForColour(pane, nearLeftEdge, QColor(0, 0, 0), &seen), qPrintable(describe(seen)));
    pane->changeMovieAspect();
    QVERIFY(!pane->isKeepAspect());
    QVERIFY2(waitForColour(pane, nearLeftEdge, QColor(0, 0, 255), &seen), qPrintable(describe(seen)));
    pane->changeMovieAspect();
    QVERIFY2(waitForColour(pane, nearLeftEdge, QColor(0, 0, 0), &seen), qPrintable(describe(seen)));
}

// A machine with no sound device (no speakers, a headless review station) must still show and play movies.
void TestPanePixels::drawsAndPlaysWithoutASoundDevice()
{
    // every sound system mpv may try is made unreachable, whatever this machine has
    QTemporaryDir noSound;
    const QString emptyAlsaConfig = noSound.filePath(QStringLiteral("asound.conf"));
    QFile(emptyAlsaConfig).open(QIODevice::WriteOnly);
    const QList<QPair<QByteArray, QByteArray>> unreachable = {
        {"ALSA_CONFIG_PATH", QFile::encodeName(emptyAlsaConfig)},
        {"PULSE_SERVER", "unix:" + QFile::encodeName(noSound.filePath(QStringLiteral("pulse")))},
        {"PIPEWIRE_REMOTE", QFile::encodeName(noSound.filePath(QStringLiteral("pipewire")))},
        {"JACK_NO_START_SERVER", "1"},
    };
    for (const auto& [name, value] : unreachable)
        qputenv(name.constData(), value);
    MpvMovieEngine::Options options;
    if (onX())
        options.drawingPath = DrawingPath::OpenGL;
    MpvMovieEngine engine(options);

    QWidget window;
    auto* pane = new QTMovieSubView({engine, *settings_, scheduler_, dialogs_, fileViewer_}, &window);
    pane->setViewNo(2);
    pane->awakeFromNib();
    window.resize(320, 240);
    pane->resize(320, 240);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(pane->createMovieView(clips_.colour(2)));
    QColor seen;
    QVERIFY2(waitForColour(pane, QPoint(160, 100), QColor(0, 255, 0), &seen), qPrintable(describe(seen)));
    pane->setMoviePlay(true);
    QTRY_VERIFY_WITH_TIMEOUT(pane->movie()->currentTime().seconds() > 0.3, DrawTimeoutMs);
    pane->setMoviePlay(false);
    for (const auto& entry : unreachable)
        qunsetenv(entry.first.constData());
}

QTEST_MAIN(TestPanePixels)
#include "tst_panepixels.moc"
