#include "panes/fileDrag.h"

#include "platform/fileNames.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

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
    // A name holding a line break, or another control character, would arrive in an editor as two names,
    // and at a shell's prompt as a command run: it is left out of the text, kept in the URLs.
    QStringList lines;
    for (const QString& path : paths) {
        if (std::none_of(path.cbegin(), path.cend(),
                         [](QChar c) { return c.category() == QChar::Other_Control; }))
            lines << fileNames::shown(path);
    }
    if (!lines.isEmpty())
        data->setText(lines.join(QLatin1Char('\n')));
    data->setData(QLatin1String(CopiedFilesType), copied);
    return data;
}

} // namespace tetrapan::fileDrag
