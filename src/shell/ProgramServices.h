#pragma once

#include "engine/MpvMovieEngine.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "shell/MainNib.h"
#include "shell/MessageBoxPresenter.h"

#include <QString>

namespace tetrapan {

// What the windows are built on, as a program run makes it: the settings with their defaults registered, the
// clock, the user's answers and the movie engine, made in that order and ended backwards.
struct ProgramServices {
    explicit ProgramServices(const QString& settingsFile);

    NibServices forNib() { return NibServices{settings, scheduler, dialogs, engine}; }

    SettingsDomain settings;
    QtScheduler scheduler;
    MessageBoxPresenter dialogs;
    MpvMovieEngine engine;
};

} // namespace tetrapan
