#include "shell/ApplicationMain.h"

#include "engine/MpvMovieEngine.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxPresenter.h"
#include "shell/NamedImage.h"
#include "shell/Resources.h"
#include "shell/Tetrapan_AppDelegate.h"
#include "shell/UnixSignalWatcher.h"

#include <QApplication>

#include <clocale>

namespace tetrapan {

int applicationMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tetrapan"));
    QApplication::setOrganizationName(QStringLiteral("Tetrapan"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tetrapan"));
    initResources();
    QApplication::setWindowIcon(namedImage(QStringLiteral("tetrapan")));
    // Qt applies the user's locale to LC_NUMERIC; the movie engine parses numbers in the C locale
    std::setlocale(LC_NUMERIC, "C");

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
    return app.exec();
}

} // namespace tetrapan
