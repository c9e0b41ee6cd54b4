#include "shell/ApplicationMain.h"

#include "engine/MpvMovieEngine.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxPresenter.h"
#include "shell/NamedImage.h"
#include "shell/Resources.h"
#include "shell/SingleInstance.h"
#include "shell/Tetrapan_AppDelegate.h"
#include "shell/UnixSignalWatcher.h"
#include "shell/commandLine.h"
#include "shell/desktopLaunch.h"

#include <QApplication>

#include <clocale>
#include <optional>

namespace tetrapan {

int applicationMain(int argc, char** argv)
{
    if (commandLine::asksForTextOnly(argc, argv))
        return desktopLaunch::answerOnTerminal(argc, argv);
    QApplication app(argc, argv);
    desktopLaunch::describeApplication();
    initResources();
    QApplication::setWindowIcon(namedImage(QStringLiteral("tetrapan")));
    // Qt applies the user's locale to LC_NUMERIC; the movie engine parses numbers in the C locale
    std::setlocale(LC_NUMERIC, "C");

    const QStringList files = commandLine::parse(app);
    SingleInstance instance(Tetrapan_AppDelegate::applicationSupportFolder(), QDBusConnection::sessionBus());
    if (const std::optional<int> status = desktopLaunch::startOrHandOver(instance, files))
        return *status;

    SettingsDomain settings(SettingsDomain::standardFilePath());
    Tetrapan_AppDelegate::setupDefaults(settings);
    QtScheduler scheduler;
    MessageBoxPresenter dialogs;
    MpvMovieEngine engine;

    MainNib nib({settings, scheduler, dialogs, engine});
    dialogs.setParentWindow(&nib.mainWindow());

    UnixSignalWatcher quitSignals;
    QObject::connect(&quitSignals, &UnixSignalWatcher::quitRequested, &nib.appDelegate(),
                     [&nib] { nib.appDelegate().terminate(); });

    nib.showWindows();
    desktopLaunch::openFiles(nib, instance, files);
    return app.exec();
}

} // namespace tetrapan
