#include "panes/fileDrag.h"

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
            paths << url.toLocalFile();
    }
    return paths;
}

QMimeData* mimeDataForFile(const QString& path)
{
    auto* data = new QMimeData;
    const QUrl url = QUrl::fromLocalFile(path);
    data->setUrls({url});
    data->setText(path);
    data->setData(QLatin1String(CopiedFilesType), "copy\n" + url.toEncoded());
    return data;
}

} // namespace tetrapan::fileDrag
