#include "shell/DesktopFileViewer.h"

#include "library/dialogExtension.h"
#include "platform/fileNames.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace tetrapan {

DesktopFileViewer::DesktopFileViewer(DialogPresenter& dialogs, QObject* parent)
    : DesktopFileViewer(dialogs, QDBusConnection::sessionBus(), &QDesktopServices::openUrl, parent)
{
}

DesktopFileViewer::DesktopFileViewer(DialogPresenter& dialogs, const QDBusConnection& bus,
                                     FolderOpener openFolder, QObject* parent)
    : QObject(parent), dialogs_(dialogs), bus_(bus), openFolder_(std::move(openFolder))
{
}

DesktopFileViewer::~DesktopFileViewer() = default;

void DesktopFileViewer::selectFile(const QString& path)
{
    if (!bus_.isConnected()) {
        openContainingFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileNames::toFileUrl(path).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path](QDBusPendingCallWatcher* finished) {
                if (QDBusPendingReply<> reply = *finished; reply.isError())
                    openContainingFolder(path);
                finished->deleteLater();
            });
}

void DesktopFileViewer::openContainingFolder(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (openFolder_(fileNames::toFileUrl(folder)))
        return;
    dialogExtension::AlertText alert = dialogExtension::NoFileManager;
    alert.info = alert.info.arg(QDir::toNativeSeparators(folder));
    dialogExtension::displayMessage(dialogs_, alert);
}

} // namespace tetrapan
