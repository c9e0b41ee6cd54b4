#include "panes/MovieFileProblem.h"

#include "library/RecordingSource.h"
#include "platform/fileNames.h"

#include <QFileInfo>

namespace tetrapan::MovieFileProblem {

QString reason(const QString& path, const QString& engineError)
{
    if (path.isEmpty())
        return QStringLiteral("not a local file");
    // a recording's opening names its folder and files itself
    if (RecordingSource::fromLocator(path))
        return engineError;
    const fileNames::Facts file = fileNames::facts(path);
    if (!file.exists)
        return QStringLiteral("not found");
    if (file.isFolder)
        return QStringLiteral("a folder, not a movie file");
    if (!file.isFile)
        return QStringLiteral("not a regular file");
    if (QString error; !fileNames::opensForReading(path, &error))
        return QStringLiteral("not readable (%1)").arg(error);
    if (file.size == 0)
        return QStringLiteral("an empty file");
    // the engine names the file itself; the alert already does
    QString said = engineError;
    const QString prefix = QFileInfo(path).absoluteFilePath() + QStringLiteral(": ");
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
