#include "shell/ApplicationMain.h"

#include "shell/ExitWatchdog.h"

#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MediaControls.h"
#include "shell/ProgramServices.h"
#include "shell/SingleInstance.h"
#include "shell/Tetrapan_AppDelegate.h"
#include "shell/UnixSignalWatcher.h"
#include "shell/commandLine.h"
#include "shell/desktopLaunch.h"
#include "shell/headlessExport.h"
#include "widgets/NamedImage.h"
#include "widgets/Resources.h"

#include <QApplication>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <memory>
#include <optional>

#include <sys/resource.h>

namespace tetrapan {

namespace {
// What tearing down may take once the user asked to quit and the library is saved.
constexpr std::chrono::milliseconds TeardownTime{1500};

// A recording of a day of minute-long files opens every one of them, once for its pictures and once for its
// sound: thousands of descriptors, where a desktop session gives a program 1024 unless it asks for more. The
// hard limit is the system's to set; the program takes what it allows. (Nothing here waits with select(),
// which cannot take descriptors past 1024.)
void takeEveryFileDescriptorAllowed()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}
} // namespace

int applicationMain(int argc, char** argv)
{
    takeEveryFileDescriptorAllowed();
    if (commandLine::asksForTextOnly(argc, argv))
        return desktopLaunch::answerOnTerminal(argc, argv);
    // an export shows no window and takes nothing of the running program's
    if (commandLine::asksForExport(argc, argv))
        return headlessExport::run(argc, argv);
    // the list of commands is read off menus that are never shown: it needs no display
    if (commandLine::asksForActionList(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Outlives everything below, so it also guards their destruction.
    ExitWatchdog watchdog;
    QApplication app(argc, argv);
    desktopLaunch::describeApplication();
    initResources();
    QApplication::setWindowIcon(namedImage(QStringLiteral("tetrapan")));
    // Qt applies the user's locale to LC_NUMERIC; the movie engine parses numbers in the C locale
    std::setlocale(LC_NUMERIC, "C");

    const commandLine::Request request = commandLine::parse(app, argv);
    if (request.listActions)
        return desktopLaunch::printActions();
    SingleInstance instance(Tetrapan_AppDelegate::applicationSupportFolder(), QDBusConnection::sessionBus());
    if (const std::optional<int> status = desktopLaunch::startOrHandOver(instance, request))
        return *status;

    ProgramServices services(SettingsDomain::standardFilePath());
    auto nib = std::make_unique<MainNib>(services.forNib());
    services.dialogs.setParentWindow(&nib->mainWindow());
    // the lock file deleted meanwhile, another program may have the library: no save writes over its changes
    nib->appDelegate().setLibraryLockCheck([&instance] { return instance.lockLostReason(); });
    // a launch that comes while this program quits waits for it to end, rather than hand it files it drops
    QObject::connect(&nib->appDelegate(), &Tetrapan_AppDelegate::applicationWillTerminate, &instance,
                     &SingleInstance::stopTakingFiles);

    // the user chose to quit rather than start a new library: nothing shows and nothing is saved
    int status = EXIT_FAILURE;
    if (!nib->appDelegate().quitsAtStart()) {
        UnixSignalWatcher quitSignals;
        QObject::connect(&quitSignals, &UnixSignalWatcher::quitRequested, &nib->appDelegate(),
                         [&nib] { nib->appDelegate().terminate(); });

        nib->showWindows();
        nib->mediaControls().offerOn(QDBusConnection::sessionBus());
        desktopLaunch::openFiles(*nib, instance, request);
        status = app.exec();
    }

    // The library is saved and every setting written (the windows' last places waited for here, not left to
    // a teardown the watchdog may cut short): what is left is tearing down, and the user is done.
    services.settings.flush();
    instance.stopTakingFiles();
    watchdog.arm(TeardownTime, status);
    services.dialogs.setParentWindow(nullptr);
    nib.reset();
    // The panes' movies hand their cores to the engine's workers as they go. The process must not end
    // while those still run inside mpv; the watchdog ends it if they never finish.
    services.engine.shutDown(TeardownTime);
    return status;
}

} // namespace tetrapan
