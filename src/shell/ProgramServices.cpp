#include "shell/ProgramServices.h"

#include "shell/Tetrapan_AppDelegate.h"

namespace tetrapan {

namespace {

MpvMovieEngine::Options engineOptions(Scheduler& scheduler)
{
    MpvMovieEngine::Options options;
    options.scheduler = &scheduler;
    return options;
}

} // namespace

ProgramServices::ProgramServices(const QString& settingsFile)
    : settings(settingsFile), engine(engineOptions(scheduler))
{
    // before anything reads a setting
    Tetrapan_AppDelegate::setupDefaults(settings);
}

} // namespace tetrapan
