// The program as a native Wayland client, in a headless compositor of its own (support/weston-run.sh): four
// movies in the panes on both drawing paths, read back from the panes' own pictures; the windows open where
// the compositor puts them, full screen comes and goes, and the places remembered from a window system that
// has them stay for it. Any warning fails: Qt's about a place or an activation it cannot give, mpv's, ours.
#include "OpenAndWait.h"
#include "AppFixture.h"
#include "ScreenProbe.h"
#include "TestClips.h"

#include "engine/MpvMovieView.h"
#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewControl.h"
#include "palette/ViewPrefs.h"
#include "platform/RectText.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

using namespace tetrapan;
using tetrapan::test::AppFixture;
using tetrapan::test::AppOptions;

class TestWayland : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        clips_ = test::TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
    }

    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void fourMoviesShowOnBothDrawingPaths_data()
    {
        QTest::addColumn<DrawingPath>("path");
        QTest::newRow("software") << DrawingPath::Software;
        QTest::newRow("OpenGL") << DrawingPath::OpenGL;
    }

    void fourMoviesShowOnBothDrawingPaths()
    {
        QFETCH(DrawingPath, path);
        // Mesa's EGL draws on the CPU (llvmpipe) where the compositor offers no GPU, as weston's headless
        // backend does not; without EGL for Wayland at all, the panes could not draw with OpenGL
        if (path == DrawingPath::OpenGL && !QOpenGLContext().create())
            QSKIP("no OpenGL context through EGL on this Wayland compositor");
        AppFixture f(AppOptions{.realEngine = true, .drawingPath = path});
        f.window().resize(1280, 760);
        f.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window()));
        for (int n = 1; n <= 4; ++n)
            QVERIFY(test::openInPane(f.pane(n), clips_.colour720p(n)));
        f.coordinator().setAllMoviePlay(true);
        for (int n = 1; n <= 4; ++n) {
            QTMovieSubView& pane = f.pane(n);
            QCOMPARE(static_cast<MpvMovieView*>(pane.movieView())->drawingPath(), path);
            QTRY_VERIFY(pane.movie()->currentTime() > MovieTime::fromSeconds(0.3));
            QVERIFY2(screen_.waitFor(pane, pane.rect().center(), test::TestClips::Colours[n - 1]),
                     qPrintable(QStringLiteral("pane %1").arg(n)));
        }
    }

    void windowsOpenWhereTheCompositorPutsThem()
    {
        const QStringList keys{"rectWindowMain", "rectWindowPlaylist", "rectWindowControl", "rectWindowPrefs",
                               "rectWindowHelp"};
        QVariantMap stored;
        for (int i = 0; i < keys.size(); ++i)
            stored.insert(keys[i],
                          QStringLiteral("{{%1, %2}, {640, 480}}").arg(100 + 40 * i).arg(60 + 30 * i));
        AppFixture f(AppOptions{.storedSettings = stored});
        f.nib->showWindows();
        f.nib->viewControl().openControlWindow();
        f.nib->viewPrefs().openPrefsWindow();
        f.nib->viewPrefs().openHelpWindow();
        for (QWidget* window : QList<QWidget*>{&f.window(), &f.playlistWindow(), &f.nib->controlWindow(),
                                               &f.nib->prefsWindow(), &f.nib->helpWindow()})
            QVERIFY2(QTest::qWaitForWindowExposed(window), qPrintable(window->windowTitle()));

        // full screen fills the output and gives the window back at its size
        const QSize windowed = f.window().size();
        f.window().changeFullScreen();
        QTRY_COMPARE(f.window().size(), f.window().screen()->size());
        f.window().changeFullScreen();
        QTRY_COMPARE(f.window().size(), windowed);

        QVERIFY(f.nib->appDelegate().terminate());
        const SettingsDomain after(f.home.settingsFile());
        for (const QString& key : keys) {
            const QRectF frame = rectText::rectFromString(after.objectForKey(key).toString());
            QCOMPARE(frame.topLeft(), rectText::rectFromString(stored.value(key).toString()).topLeft());
            if (key == keys.first())
                QCOMPARE(frame.size().toSize(), windowed);
        }
    }

private:
    test::TestClips clips_;
    test::ScreenProbe screen_;
};

QTEST_MAIN(TestWayland)
#include "tst_wayland.moc"
