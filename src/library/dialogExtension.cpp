#include "library/dialogExtension.h"

#include "platform/DialogPresenter.h"

namespace tetrapan::dialogExtension {

QString iconNameForStyle(const QString& style)
{
    if (style == QLatin1String("alert"))
        return QStringLiteral("icon_alert");
    if (style == QLatin1String("error"))
        return QStringLiteral("icon_stop");
    return QStringLiteral("icon_info");
}

QStringList buttonTitles(const QString& btnList)
{
    return btnList.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

namespace {

int runAlert(DialogPresenter& presenter, const QString& imageName, const QString& message,
             const QString& info, const QString& btnList, const QString& details = QString())
{
    AlertRequest request;
    request.iconName = imageName.isEmpty() ? QStringLiteral("icon_info") : imageName;
    request.messageText = message;
    request.informativeText = info;
    request.buttons = buttonTitles(btnList);
    request.detailedText = details;
    return presenter.runAlert(request);
}

} // namespace

int displayMessageWithIcon(DialogPresenter& presenter, const QString& imageName, const QString& message,
                           const QString& info, const QString& btnList)
{
    return runAlert(presenter, imageName, message, info, btnList);
}

int displayMessage(DialogPresenter& presenter, const QString& style, const QString& message,
                   const QString& info, const QString& btnList)
{
    return runAlert(presenter, iconNameForStyle(style), message, info, btnList);
}

int displayMessage(DialogPresenter& presenter, const AlertText& alert)
{
    return displayMessage(presenter, alert.style, alert.message, alert.info, alert.btnList);
}

int displayMessage(DialogPresenter& presenter, const AlertText& alert, const QString& details)
{
    return runAlert(presenter, iconNameForStyle(alert.style), alert.message, alert.info, alert.btnList,
                    details);
}

int displayMessageAlertCreateMovie(DialogPresenter& presenter)
{
    return displayMessage(presenter, CantCreateMovie);
}

QStringList selectFilePath(DialogPresenter& presenter, bool isFile, bool isDir, bool isMultiSel,
                           bool isPackage, bool isAlias, const QString& defaultPath)
{
    OpenPanelRequest request;
    request.canChooseFiles = isFile;
    request.canChooseDirectories = isDir;
    request.allowsMultipleSelection = isMultiSel;
    request.treatsPackagesAsDirectories = isPackage;
    request.resolvesAliases = isAlias;
    request.directory = defaultPath;
    return presenter.runOpenPanel(request);
}

} // namespace tetrapan::dialogExtension
