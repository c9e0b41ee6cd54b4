// The palette as a user meets it on an X server: clicks and keys on its real window drive the panes, and a
// volume raised in the preferences with the keyboard reaches all four real movies in mpv.
#include "OpenAndWait.h"
#include "AppFixture.h"
#include "FakeMovie.h"
#include "TestClips.h"

#include "engine/MpvMovie.h"
#include "layout/ButtonForMenu.h"
#include "library/Movie.h"
#include "library/MovieTime.h"
#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewControl.h"
#include "panes/MovController.h"
#include "panes/PaneNudge.h"
#include "panes/PaneOffsets.h"
#include "panes/PanePlacing.h"
#include "panes/PaneTimeline.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QWindow>

using namespace tetrapan;
using tetrapan::test::AppFixture;

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

    // A pane with a rate plays at the speed times it, set, undone or with another speed; another file placed
    // in it plays without it, and one placed in an empty pane takes a rate set later; a nudge of the chosen
    // pane from the Playback menu moves its offset.
    void ratesAndNudgesReachThePanes()
    {
        test::AppFixture f;
        f.chooseWithEntries({1, 2, 3});
        QVERIFY(f.coordinator().offsets().setRate(2, 1.25));
        QCOMPARE(f.pane(2).movie()->speed(), 1.25);
        f.window().slowerAction()->trigger();
        QCOMPARE(f.pane(2).movie()->speed(), 0.75 * 1.25);
        QCOMPARE(f.pane(3).movie()->speed(), 0.75);
        f.ctx().processPendingChanges();
        f.ctx().undoManager()->undo();
        QCOMPARE(f.pane(2).movie()->speed(), 0.75);
        QVERIFY(f.coordinator().offsets().setRate(2, 1.25));
        f.pane(2).placing().createMovieFrame(QStringLiteral("/clips/other.mp4"));
        f.ctx().processPendingChanges();
        QCOMPARE(f.coordinator().offsets().rate(2), 1.0);
        QCOMPARE(f.pane(2).movie()->speed(), 0.75);
        f.pane(4).placing().createMovieFrame(QStringLiteral("/clips/4.mp4"));
        QVERIFY(f.coordinator().offsets().setRate(4, 1.25));
        QCOMPARE(f.pane(4).movie()->speed(), 0.75 * 1.25);
        f.coordinator().setCurrentViewNo(3);
        f.nib->paneNudge().action(PaneNudge::FrameLater)->trigger();
        QCOMPARE(f.coordinator().movieOffsetMs(3), qint64(33));
    }

    void clicksAndKeysDriveThePanes()
    {
        AppFixture f;
        f.showWindow(800, 500);
        f.nib->showWindows();
        ControlWindow& palette = f.nib->controlWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&palette));
        // at start it leaves the keyboard to the main window
        QVERIFY(QApplication::activeWindow() != &palette);
        const ObjectId first = f.playlist(QStringLiteral("first"));
        const ObjectId second = f.playlist(QStringLiteral("second"));
        f.select(first);
        for (int n = 1; n <= 4; ++n)
            QVERIFY(test::openInPane(f.pane(n), QStringLiteral("/clips/%1.mp4").arg(n)));

        QVERIFY(makeActive(&palette));
        keyClick(&palette, Qt::Key_Space);
        QTRY_VERIFY(f.coordinator().anyMovieIsPlaying()); // the button's press shows, then it acts
        keyClick(&palette, Qt::Key_Space);
        QTRY_VERIFY(!f.coordinator().anyMovieIsPlaying());
        // L sets the loop's A here too
        keyClick(&palette, Qt::Key_L);
        QVERIFY(f.nib->paneTimeline().loopA() && !f.nib->paneTimeline().loopB());
        f.nib->paneTimeline().clearLoop();
        // the speed's keys as well; the speed shows in the palette's title and the main window's tool bar
        const QString slower = QStringLiteral("0.75") + QChar(0x00D7);
        keyClick(&palette, Qt::Key_BracketLeft);
        QCOMPARE(f.pane(2).movie()->speed(), 0.75);
        QVERIFY2(palette.windowTitle().endsWith(slower), qPrintable(palette.windowTitle()));
        QCOMPARE(f.window().shownSpeed(), slower);
        keyClick(&palette, Qt::Key_Backspace);
        QCOMPARE(f.pane(2).movie()->speed(), 1.0);
        QVERIFY(!palette.windowTitle().contains(QChar(0x00D7)));
        QCOMPARE(f.window().shownSpeed(), QString());

        click(palette.btnPlay());
        QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));

        click(palette.btnFrame(3));
        QCOMPARE(f.coordinator().displayedViewNo(), 3);
        click(palette.btnFrame(3)); // the pane already alone: all four again, all playing
        QCOMPARE(f.coordinator().displayedViewNo(), 0);
        QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));

        // the group's commands reach the panes (what each does to every pane: tst_movcontroller); pane n
        // stands n seconds in, and synchronising brings the others to pane 1's second
        for (int n = 1; n <= 4; ++n)
            static_cast<test::FakeMovie*>(f.pane(n).movie())->moveTo(MovieTime::fromSeconds(n));
        click(palette.btnSync());
        QCOMPARE(f.pane(4).movie()->currentTime(), MovieTime::fromSeconds(1));
        f.scheduler.advance(MovController::ResumeAfterSyncDelay);
        click(palette.btnSkipEnd()); // tag 3: every movie at its end, stopped
        QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
        QCOMPARE(f.pane(4).movie()->currentTime(), f.pane(4).movie()->duration());
        click(palette.btnSkipStart()); // tag 0
        QCOMPARE(f.pane(4).movie()->currentTime().value, 0);
        click(palette.btnSound());
        QVERIFY(f.pane(4).isMuted());

        click(palette.btnMoveNext());
        QCOMPARE(f.nib->olvPlaylist().selectedRow(), 1);
        QCOMPARE(f.coordinator().uniqueId(), f.ctx().value(second, LibrarySchema::UniqueId).toString());
        f.scheduler.advance(MovController::ChangeDelay); // the second playlist has no entries

        // the frame-set button pops up its menu, and shows pressed while it is open; Save stores the layout
        bool downWhileOpen = false;
        QTimer::singleShot(0, this, [&] {
            downWhileOpen = palette.btnFrameSet()->isDown();
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* item : menu->actions()) {
                    if (item->text() == QLatin1String("Save"))
                        item->trigger();
                }
                menu->close();
            }
        });
        click(palette.btnFrameSet());
        QVERIFY(downWhileOpen);
        QVERIFY(!palette.btnFrameSet()->isDown());
        QCOMPARE(f.frameSetOf(second), QStringLiteral("0:0.50:0.50:0.50"));

        click(palette.btnMainWindow());
        QVERIFY(f.window().isFullScreen());
        QCOMPARE(ControlWindow::buttonImage(palette.btnMainWindow()), QStringLiteral("btn_ctrl_full_off"));
        QCOMPARE(palette.btnMainWindow()->accessibleName(), QStringLiteral("Leave full screen"));
        // the button follows full screen left by other ways too
        f.window().changeFullScreen();
        QCOMPARE(ControlWindow::buttonImage(palette.btnMainWindow()), QStringLiteral("btn_ctrl_full_on"));

        // Ctrl+K from the main window brings the palette back with the keyboard
        f.nib->viewControl().closeControlWindow();
        QVERIFY(makeActive(&f.window()));
        keyClick(&f.window(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(isKeyWindow(&palette));
        // help from the palette; Escape puts it away
        keyClick(&palette, Qt::Key_F1);
        QVERIFY(isKeyWindow(&f.nib->helpWindow()));
        keyClick(&f.nib->helpWindow(), Qt::Key_Escape);
        QVERIFY(!f.nib->helpWindow().isVisible());
    }

    void volumeFromThePreferencesReachesMpv()
    {
        const test::TestClips clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
        // the engine as the program makes it: whatever sound the machine has, or none
        AppFixture f({.realEngine = true, .nullAudio = false, .realClock = true});
        f.window().resize(800, 500);
        f.nib->showWindows();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window()));
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(test::openInPane(f.pane(n), clips.colour(n)));
            QTRY_COMPARE_WITH_TIMEOUT(mpvVolume(f.pane(n)), 0.0, EngineTimeoutMs);
        }

        QVERIFY(makeActive(&f.window()));
        keyClick(&f.window(), Qt::Key_Comma, Qt::ControlModifier);
        PrefsWindow& prefs = f.nib->prefsWindow();
        QVERIFY(isKeyWindow(&prefs));
        // a click on the slider gives it the keyboard (and may already move it a step)
        click(prefs.volumeSlider());
        for (int step = 0; step < 3; ++step)
            keyClick(&prefs, Qt::Key_PageUp);
        const double percent = prefs.volumeSlider()->value();
        QVERIFY(percent >= 30);
        // (A muted pane's volume: tst_viewprefs.)
        for (int n = 1; n <= 4; ++n)
            QTRY_COMPARE_WITH_TIMEOUT(mpvVolume(f.pane(n)), percent, EngineTimeoutMs);
    }
};

QTEST_MAIN(TestPaletteWindow)
#include "tst_palettewindow.moc"
