#pragma once

#include "FakeDialogPresenter.h"
#include "FakeMovieEngine.h"
#include "FakeScheduler.h"
#include "TestHome.h"

#include "layout/SplitSubView.h"
#include "layout/ViewMain.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QTest>
#include <QVariantAnimation>

#include <functional>
#include <memory>

namespace tetrapan::test {

// The whole application on the fake engine and the fake clock, in a home of its own. Divider animations
// run in no time: each is stepped through a few frames and noted, with whether any pane played meanwhile.
struct LayoutFixture {
    TestHome home;
    SettingsDomain settings{home.settingsFile()};
    FakeScheduler scheduler;
    FakeDialogPresenter dialogs;
    FakeMovieEngine engine;
    std::unique_ptr<MainNib> nib;
    int animations = 0;
    bool panePlayedWhileSliding = false;
    bool animateFlagMissed = false;
    // Runs inside each animation, after its first frame.
    std::function<void()> duringAnimation;

    explicit LayoutFixture(const QVariantMap& storedSettings = {})
    {
        Tetrapan_AppDelegate::setupDefaults(settings);
        for (auto it = storedSettings.cbegin(); it != storedSettings.cend(); ++it)
            settings.setObject(it.value(), it.key());
        start();
    }

    // A new run of the program on the same home.
    void restart()
    {
        nib.reset();
        start();
    }

    void start()
    {
        nib = std::make_unique<MainNib>(NibServices{settings, scheduler, dialogs, engine});
        for (SplitSubView* splitView : splitViews())
            splitView->setAnimationRunner([this, splitView](QVariantAnimation& animation) {
                ++animations;
                for (int step = 0; step <= 4; ++step) {
                    animation.setCurrentTime(animation.duration() * step / 4);
                    animateFlagMissed = animateFlagMissed || !splitView->isAnimate();
                    panePlayedWhileSliding = panePlayedWhileSliding || coordinator().anyMovieIsPlaying();
                    if (step == 0 && duringAnimation)
                        std::exchange(duringAnimation, {})();
                }
            });
    }

    MainWindow& window() { return nib->mainWindow(); }
    ViewMain& viewMain() { return nib->viewMain(); }
    MovController& coordinator() { return nib->movController(); }
    QTMovieSubView& pane(int viewNo) { return nib->qtView(viewNo); }
    QList<SplitSubView*> splitViews()
    {
        return {window().spvMain(), window().spvLeft(), window().spvRight()};
    }

    // Shown at a size whose split views have even lengths, so halves are whole pixels.
    void showWindow(int width = 1000, int height = 700)
    {
        window().resize(width, height);
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        // the window's shortcuts answer only in the active window
        window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        if (window().spvMain()->height() % 2)
            window().resize(width, height + 1);
        QCOMPARE(window().spvMain()->height() % 2, 0);
    }

    // Pane n gets "/clips/n.mp4", and all four play.
    void playFourPanes()
    {
        for (int n = 1; n <= 4; ++n)
            QVERIFY(pane(n).createMovieView(QStringLiteral("/clips/%1.mp4").arg(n)));
        coordinator().setAllMoviePlay(true);
    }

    QList<bool> playing()
    {
        QList<bool> states;
        for (int n = 1; n <= 4; ++n)
            states << pane(n).isPlaying();
        return states;
    }
    QList<bool> displayed()
    {
        QList<bool> states;
        for (int n = 1; n <= 4; ++n)
            states << pane(n).isDisplay();
        return states;
    }

    ObjectContext& context() { return *nib->appDelegate().managedObjectContext(); }
    // A playlist (or folder) at the top level.
    ObjectId playlist(const QString& title, bool folder = false, const QString& frameSet = {})
    {
        ObjectContext& ctx = context();
        const ObjectId node = LibraryRules::createNode(ctx, settings, folder);
        ctx.setValue(node, LibrarySchema::Title, title);
        ctx.setValue(node, LibrarySchema::FrameSet, frameSet);
        LibraryRules::placeNode(ctx, node, NoObject);
        ctx.processPendingChanges();
        return node;
    }
    void select(ObjectId node) { nib->playlistTreeController().setSelectedObject(node); }
    QString frameSetOf(ObjectId node) { return context().value(node, LibrarySchema::FrameSet).toString(); }
};

} // namespace tetrapan::test
