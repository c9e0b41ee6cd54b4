#include "shell/desktopLaunch.h"

#include "library/dialogExtension.h"
#include "platform/SettingsDomain.h"
#include "shell/CommandKeys.h"
#include "shell/CommandRequests.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxPresenter.h"
#include "shell/MovieFilesOpener.h"
#include "shell/ProgramServices.h"
#include "shell/SingleInstance.h"
#include "shell/commandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace tetrapan::desktopLaunch {

namespace {
// What tearing down the windows made for the list may take.
constexpr std::chrono::milliseconds ListTeardownTime{1500};
} // namespace

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

int printActions()
{
    // The windows are made as at a start, offscreen, so that every menu item is there, the ones the
    // composition root adds too; on a copy of the settings and a library of their own, so that what they
    // write at start goes there: another Tetrapan's files are only read.
    const QTemporaryDir scratch;
    if (!scratch.isValid())
        return EXIT_FAILURE;
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("data"))));
    const QString settingsCopy = scratch.filePath(QStringLiteral("Tetrapan.json"));
    QString why;
    if (!SettingsDomain::copyStandardFile(settingsCopy, &why)) {
        std::fprintf(stderr, "%s: The settings cannot be read: %s\n",
                     qPrintable(QCoreApplication::applicationName().toLower()), qPrintable(why));
        return EXIT_FAILURE;
    }
    ProgramServices services(settingsCopy);
    // a damaged file is the running program's to tell of
    services.settings.takeDamagedFileNote();
    {
        MainNib nib(services.forNib());
        QTextStream out(stdout);
        for (const CommandKeys::Row& row : nib.commandKeys().rows())
            out << row.name << '\t' << row.text << '\t' << row.key << '\n';
    }
    services.engine.shutDown(ListTeardownTime);
    return EXIT_SUCCESS;
}

std::optional<int> startOrHandOver(SingleInstance& instance, const commandLine::Request& request)
{
    switch (instance.startFor(request)) {
    case SingleInstance::Role::First:
        return std::nullopt;
    case SingleInstance::Role::HandedOver:
        if (!instance.refusal().isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(instance.refusal()));
            return 2;
        }
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

void openFiles(MainNib& nib, SingleInstance& instance, const commandLine::Request& request)
{
    MainWindow* window = &nib.mainWindow();
    MovieFilesOpener* opener = &nib.movieFilesOpener();
    CommandRequests* requests = &nib.commandRequests();
    QObject::connect(&instance, &SingleInstance::activateRequested, window,
                     [window] { window->orderFront(); });
    QObject::connect(&instance, &SingleInstance::openRequested, opener, &MovieFilesOpener::openFiles);
    instance.setCommandHandler(
        [requests](const commandLine::Request& asked, const SingleInstance::Answer& answer) {
            requests->handle(asked, answer);
        });
    instance.listen();
    // the files go into the playlist named with them, and the command acts on them
    requests->handleWithFiles(
        request, [opener](const QStringList& files) { opener->openFiles(files); },
        [](const QString& refusal) {
            if (!refusal.isEmpty())
                std::fprintf(stderr, "%s\n", qPrintable(refusal));
        });
}

} // namespace tetrapan::desktopLaunch
