#include "panes/MovieFileProblem.h"

#include <QFile>
#include <QFileInfo>

namespace tetrapan::MovieFileProblem {

QString reason(const QString& path, const QString& engineError)
{
    if (path.isEmpty())
        return QStringLiteral("not a local file");
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("not found");
    if (info.isDir())
        return QStringLiteral("a folder, not a movie file");
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("not readable (%1)").arg(file.errorString());
    if (info.size() == 0)
        return QStringLiteral("an empty file");
    // the engine names the file itself; the alert already does
    QString said = engineError;
    const QString prefix = info.absoluteFilePath() + QStringLiteral(": ");
    if (said.startsWith(prefix))
        said.remove(0, prefix.size());
    else if (said.startsWith(path + QStringLiteral(": ")))
        said.remove(0, path.size() + 2);
    // a file that did not answer in time may well be a movie, on a disk or a network that hangs
    if (said.startsWith(QLatin1String("not loaded within")))
        return QStringLiteral("did not open: %1").arg(said);
    return said.isEmpty() ? QStringLiteral("not a movie") : QStringLiteral("not a movie: %1").arg(said);
}

} // namespace tetrapan::MovieFileProblem
