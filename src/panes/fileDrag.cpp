#include "panes/fileDrag.h"

#include "platform/fileNames.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace tetrapan::fileDrag {

bool isCopyableFileList(const QDropEvent& event)
{
    const Qt::DropActions offered = event.possibleActions();
    return event.mimeData() && event.mimeData()->hasFormat(QLatin1String(FileNamesType)) &&
           offered != Qt::LinkAction && (offered & Qt::CopyAction);
}

QStringList localFiles(const QMimeData& data)
{
    QStringList paths;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            paths << fileNames::fromFileUrl(url);
    }
    return paths;
}

QMimeData* mimeDataForFiles(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray copied("copy");
    for (const QString& path : paths) {
        urls << fileNames::toFileUrl(path);
        copied += "\n" + urls.constLast().toEncoded();
    }
    data->setUrls(urls);
    data->setText(paths.join(QLatin1Char('\n')));
    data->setData(QLatin1String(CopiedFilesType), copied);
    return data;
}

} // namespace tetrapan::fileDrag
