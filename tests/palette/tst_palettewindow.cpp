// The palette as a user meets it on an X server: clicks and keys on its real window drive the panes, and a
// volume raised in the preferences with the keyboard reaches all four real movies in mpv.
#include "FakeMovie.h"
#include "LayoutFixture.h"
#include "TestClips.h"

#include "engine/Movie.h"
#include "engine/MovieTime.h"
#include "engine/MpvMovie.h"
#include "engine/MpvMovieEngine.h"
#include "layout/ButtonForMenu.h"
#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewControl.h"
#include "platform/Scheduler.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

using namespace tetrapan;
using tetrapan::test::LayoutFixture;

namespace {

constexpr int EngineTimeoutMs = 15000;

// A left click in the middle of the widget, through its window as the window system delivers it.
void click(QWidget* widget)
{
    QWidget* window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      widget->mapTo(window, widget->rect().center()));
}

void keyClick(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(window->windowHandle(), key, modifiers);
}

// The window has the keyboard. (A tool window reports itself active while its parent is, so the question
// goes to the application.)
bool isKeyWindow(QWidget* window)
{
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

bool makeActive(QWidget* window)
{
    window->activateWindow();
    return isKeyWindow(window);
}

double mpvVolume(QTMovieSubView& pane)
{
    auto* movie = dynamic_cast<MpvMovie*>(pane.movie());
    return movie ? movie->propertyText("volume").toDouble() : -1.0;
}

} // namespace

class TestPaletteWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("the palette's real window needs an X server (make test runs the tests under xvfb-run)");
    }

    void clicksAndKeysDriveThePanes()
    {
        LayoutFixture f;
        f.showWindow(800, 500);
        f.nib->showWindows();
        ControlWindow& palette = f.nib->controlWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&palette));
        const ObjectId first = f.playlist(QStringLiteral("first"));
        const ObjectId second = f.playlist(QStringLiteral("second"));
        f.select(first);
        for (int n = 1; n <= 4; ++n)
            QVERIFY(f.pane(n).createMovieView(QStringLiteral("/clips/%1.mp4").arg(n)));

        click(palette.btnPlay());
        QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));
        QCOMPARE(ControlWindow::buttonImage(palette.btnPlay()), QStringLiteral("btn_ctrl_stop"));

        click(palette.btnFrame(3));
        QCOMPARE(f.coordinator().displayedViewNo(), 3);
        QCOMPARE(f.playing(), (QList<bool>{false, false, true, false}));
        QCOMPARE(ControlWindow::buttonImage(palette.btnFrame(3)), QStringLiteral("btn_ctrl_frame_play"));
        click(palette.btnFrame(3)); // the pane already alone: all four again, all playing
        QCOMPARE(f.coordinator().displayedViewNo(), 0);
        QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));

        // pane n stands n seconds in; synchronising brings every pane to pane 1's second
        for (int n = 1; n <= 4; ++n)
            static_cast<test::FakeMovie*>(f.pane(n).movie())->moveTo(MovieTime::fromSeconds(n));
        click(palette.btnSync());
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(f.pane(n).movie()->currentTime(), MovieTime::fromSeconds(1));
        f.scheduler.advance(MovController::ResumeAfterSyncDelay);

        click(palette.btnSkipEnd()); // tag 3: every movie at its end, stopped
        QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(f.pane(n).movie()->currentTime(), f.pane(n).movie()->duration());
        click(palette.btnSkipStart()); // tag 0
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(f.pane(n).movie()->currentTime().value, 0);

        click(palette.btnSound());
        for (int n = 1; n <= 4; ++n)
            QVERIFY(f.pane(n).isMuted());

        click(palette.btnMoveNext());
        QCOMPARE(f.nib->olvPlaylist().selectedRow(), 1);
        QCOMPARE(f.coordinator().uniqueId(), f.context().value(second, LibrarySchema::UniqueId).toString());
        f.scheduler.advance(MovController::ChangeDelay); // the second playlist has no entries

        // the frame-set button pops up its menu; Save stores the layout and lights the button
        QTimer::singleShot(0, this, [] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* item : menu->actions()) {
                    if (item->text() == QLatin1String("Save"))
                        item->trigger();
                }
                menu->close();
            }
        });
        click(palette.btnFrameSet());
        QCOMPARE(f.frameSetOf(second), QStringLiteral("0:0.50:0.50:0.50"));
        QCOMPARE(ControlWindow::buttonImage(palette.btnFrameSet()), QStringLiteral("btn_ctrl_frame_set_on"));

        click(palette.btnMainWindow());
        QVERIFY(f.window().isFullScreen());
        QCOMPARE(ControlWindow::buttonImage(palette.btnMainWindow()), QStringLiteral("btn_ctrl_full_off"));
        click(palette.btnMainWindow());
        QVERIFY(!f.window().isFullScreen());
    }

    void keysOfThePalette()
    {
        LayoutFixture f;
        f.showWindow(800, 500);
        f.nib->showWindows();
        ControlWindow& palette = f.nib->controlWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&palette));
        // at start it leaves the keyboard to the main window
        QVERIFY(QApplication::activeWindow() != &palette);
        for (int n = 1; n <= 4; ++n)
            QVERIFY(f.pane(n).createMovieView(QStringLiteral("/clips/%1.mp4").arg(n)));

        QVERIFY(makeActive(&palette));
        keyClick(&palette, Qt::Key_Space);
        QTRY_VERIFY(f.coordinator().anyMovieIsPlaying()); // the button's press shows, then it acts
        keyClick(&palette, Qt::Key_Space);
        QTRY_VERIFY(!f.coordinator().anyMovieIsPlaying());

        // the Window menu's keys work here too
        const bool playlistOpen = f.nib->playlistWindow().isVisible();
        keyClick(&palette, Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(f.nib->playlistWindow().isVisible(), !playlistOpen);
        QVERIFY(makeActive(&palette));

        // Ctrl+K from the palette closes it as the Window menu does: it stays closed at the next start
        keyClick(&palette, Qt::Key_K, Qt::ControlModifier);
        QVERIFY(!palette.isVisible());
        QVERIFY(!userDefaultsExtension::defaultBoolValue(f.settings, QStringLiteral("optIsController")));
        QVERIFY(makeActive(&f.window()));
        keyClick(&f.window(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(palette.isVisible());
        QVERIFY(isKeyWindow(&palette));

        // help from the palette; Escape puts it away
        keyClick(&palette, Qt::Key_F1);
        HelpWindow& help = f.nib->helpWindow();
        QVERIFY(isKeyWindow(&help));
        keyClick(&help, Qt::Key_Escape);
        QVERIFY(!help.isVisible());
    }

    void volumeFromThePreferencesReachesMpv()
    {
        const test::TestClips clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
        test::TestHome home;
        SettingsDomain settings(home.settingsFile());
        Tetrapan_AppDelegate::setupDefaults(settings);
        QtScheduler scheduler;
        test::FakeDialogPresenter dialogs;
        // the engine as the program makes it: whatever sound the machine has, or none
        MpvMovieEngine engine;
        auto nib = std::make_unique<MainNib>(NibServices{settings, scheduler, dialogs, engine});
        MainWindow& window = nib->mainWindow();
        window.resize(800, 500);
        nib->showWindows();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(nib->qtView(n).createMovieView(clips.colour(n)));
            QTRY_COMPARE_WITH_TIMEOUT(mpvVolume(nib->qtView(n)), 0.0, EngineTimeoutMs);
        }
        nib->qtView(2).setMovieMuted(true);

        QVERIFY(makeActive(&window));
        keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
        PrefsWindow& prefs = nib->prefsWindow();
        QVERIFY(isKeyWindow(&prefs));
        // a click on the slider gives it the keyboard (and may already move it a step)
        click(prefs.volumeSlider());
        for (int step = 0; step < 3; ++step)
            keyClick(&prefs, Qt::Key_PageUp);
        const double percent = prefs.volumeSlider()->value();
        QVERIFY(percent >= 30);
        for (int n : {1, 3, 4})
            QTRY_COMPARE_WITH_TIMEOUT(mpvVolume(nib->qtView(n)), percent, EngineTimeoutMs);
        QCOMPARE(mpvVolume(nib->qtView(2)), 0.0);
        nib->qtView(2).setMovieMuted(false);
        QTRY_COMPARE_WITH_TIMEOUT(mpvVolume(nib->qtView(2)), percent, EngineTimeoutMs);
        nib.reset(); // the panes let go of their movies before the engine goes
    }
};

QTEST_MAIN(TestPaletteWindow)
#include "tst_palettewindow.moc"
