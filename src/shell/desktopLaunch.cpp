#include "shell/desktopLaunch.h"

#include "library/dialogExtension.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxPresenter.h"
#include "shell/MovieFilesOpener.h"
#include "shell/SingleInstance.h"
#include "shell/commandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

namespace tetrapan::desktopLaunch {

void describeApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Tetrapan"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tetrapan"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TETRAPAN_VERSION));
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setApplicationDisplayName(QStringLiteral("Tetrapan"));
        QGuiApplication::setDesktopFileName(SingleInstance::serviceName());
    }
}

int answerOnTerminal(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    describeApplication();
    // answers and ends the process
    commandLine::parse(app, argv);
    return 0;
}

std::optional<int> startOrHandOver(SingleInstance& instance, const QStringList& files)
{
    switch (instance.start(files)) {
    case SingleInstance::Role::First:
        return std::nullopt;
    case SingleInstance::Role::HandedOver:
        return 0;
    case SingleInstance::Role::Refused:
        break;
    case SingleInstance::Role::Unusable: {
        const dialogExtension::AlertText& alert = dialogExtension::LockFileUnusable;
        const QString info =
            alert.info.arg(QDir::toNativeSeparators(instance.lockFilePath()), instance.unusableReason());
        qWarning("%s %s", qPrintable(alert.message), qPrintable(info));
        MessageBoxPresenter dialogs;
        dialogExtension::displayMessage(dialogs, alert.style, alert.message, info, alert.btnList);
        return 1;
    }
    }
    const dialogExtension::AlertText& alert = dialogExtension::TetrapanIsAlreadyRunning;
    const QString holder = instance.lockHolder();
    const QString info =
        alert.info.arg(QDir::toNativeSeparators(QFileInfo(instance.lockFilePath()).absolutePath()),
                       holder.isEmpty() ? QStringLiteral("unknown") : holder,
                       QDir::toNativeSeparators(instance.lockFilePath()));
    // also for whoever started it from a terminal, or a script
    qWarning("%s %s", qPrintable(alert.message), qPrintable(info));
    MessageBoxPresenter dialogs;
    dialogExtension::displayMessage(dialogs, alert.style, alert.message, info, alert.btnList);
    return 1;
}

void openFiles(MainNib& nib, SingleInstance& instance, const QStringList& files)
{
    MainWindow* window = &nib.mainWindow();
    MovieFilesOpener* opener = &nib.movieFilesOpener();
    QObject::connect(&instance, &SingleInstance::activateRequested, window,
                     [window] { window->orderFront(); });
    QObject::connect(&instance, &SingleInstance::openRequested, opener, &MovieFilesOpener::openFiles);
    instance.listen();
    opener->openFiles(files);
}

} // namespace tetrapan::desktopLaunch
