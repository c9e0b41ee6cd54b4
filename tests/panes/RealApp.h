#pragma once

#include "FakeDialogPresenter.h"
#include "TestHome.h"

#include "engine/MpvMovieEngine.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QSize>

#include <memory>
#include <optional>

namespace tetrapan::test {

// One run of the whole application on the real movie engine, on the given home, its window shown. The
// clock is the real one or the test's own.
template <class Clock> struct RealApp {
    SettingsDomain settings;
    Clock scheduler;
    FakeDialogPresenter dialogs;
    std::unique_ptr<MpvMovieEngine> engine;
    std::unique_ptr<MainNib> nib;

    // drawingPath: the machine's own unless given.
    RealApp(const TestHome& home, QSize windowSize, std::optional<DrawingPath> drawingPath = std::nullopt)
        : settings(home.settingsFile())
    {
        Tetrapan_AppDelegate::setupDefaults(settings);
        MpvMovieEngine::Options options;
        options.movie.nullAudio = true;
        options.drawingPath = drawingPath;
        engine = std::make_unique<MpvMovieEngine>(options);
        nib = std::make_unique<MainNib>(NibServices{settings, scheduler, dialogs, *engine});
        nib->mainWindow().resize(windowSize);
        nib->mainWindow().show();
    }
    ~RealApp() { nib.reset(); } // the panes let go of their movies before the engine goes
    RealApp(const RealApp&) = delete;
    RealApp& operator=(const RealApp&) = delete;

    ObjectContext& context() { return *nib->appDelegate().managedObjectContext(); }
    QTMovieSubView& pane(int viewNo) { return nib->qtView(viewNo); }
};

} // namespace tetrapan::test
