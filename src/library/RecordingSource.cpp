#include "library/RecordingSource.h"

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/fileNames.h"

#include <QFileInfo>

namespace tetrapan::RecordingSource {

namespace {

const QString Prefix = QStringLiteral("recording:");

// A file name's bytes, those that are not UTF-8 included, percent-encoded so that "&" and "=" separate items.
QString item(const char* key, const QString& value)
{
    return QLatin1String(key) + QLatin1Char('=') +
           QString::fromLatin1(QByteArray(fileNames::toBytes(value)).toPercentEncoding());
}

// A chosen file's line in an entry's list: its path as it is, or, where the path would not stay one line or
// could be taken for such a line, percent-encoded; a path is absolute, so a line starting with '%' is one.
const QChar EncodedLine = QLatin1Char('%');

QString fileLine(const QString& path)
{
    if (!path.contains(QLatin1Char('\n')) && !path.contains(QLatin1Char('\r')) &&
        !path.startsWith(EncodedLine))
        return path;
    return QString::fromLatin1(QByteArray(fileNames::toBytes(path)).toPercentEncoding());
}

QString lineFile(const QString& line)
{
    if (!line.startsWith(EncodedLine))
        return line;
    return fileNames::fromBytes(QByteArray::fromPercentEncoding(line.toLatin1()));
}

} // namespace

QString locator(const Recording& source)
{
    if (source.camera.isEmpty() && source.chosenFiles.isEmpty())
        return source.folder;
    QStringList items;
    if (!source.folder.isEmpty())
        items.append(item("folder", source.folder));
    if (!source.camera.isEmpty())
        items.append(item("camera", source.camera));
    for (const QString& file : source.chosenFiles)
        items.append(item("file", file));
    return Prefix + items.join(QLatin1Char('&'));
}

std::optional<Recording> fromLocator(const QString& locator)
{
    if (!locator.startsWith(Prefix)) {
        if (locator.isEmpty() || !fileNames::facts(locator).isFolder)
            return std::nullopt;
        return ofFolder(locator);
    }
    return parsedLocator(locator);
}

Recording ofFolder(const QString& folder)
{
    Recording source;
    source.folder = QFileInfo(folder).absoluteFilePath();
    return source;
}

std::optional<Recording> parsedLocator(const QString& locator)
{
    if (!locator.startsWith(Prefix))
        return std::nullopt;
    Recording source;
    for (const QString& part : locator.mid(Prefix.size()).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const QString key = part.section(QLatin1Char('='), 0, 0);
        const QString value =
            fileNames::fromBytes(QByteArray::fromPercentEncoding(part.section(QLatin1Char('='), 1).toLatin1()));
        if (key == QLatin1String("folder"))
            source.folder = value;
        else if (key == QLatin1String("camera"))
            source.camera = value;
        else if (key == QLatin1String("file"))
            source.chosenFiles.append(value);
    }
    return source;
}

QString shownName(const QString& locator)
{
    if (!locator.startsWith(Prefix))
        return locator;
    const std::optional<Recording> source = fromLocator(locator);
    if (!source->camera.isEmpty())
        return QStringLiteral("%1 (camera %2)").arg(source->folder, source->camera);
    return QStringLiteral("%1 chosen files in %2")
        .arg(source->chosenFiles.size())
        .arg(QFileInfo(source->chosenFiles.value(0)).absolutePath());
}

QString ofEntry(const ObjectContext& context, ObjectId entry)
{
    const QString path = context.value(entry, LibrarySchema::FilePath).toString();
    const QString camera = context.value(entry, LibrarySchema::Camera).toString();
    const QString files = context.value(entry, LibrarySchema::RecordingFiles).toString();
    if (camera.isEmpty() && files.isEmpty())
        return path;
    Recording source;
    source.camera = camera;
    for (const QString& line : files.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        source.chosenFiles.append(lineFile(line));
    if (source.chosenFiles.isEmpty())
        source.folder = path;
    return locator(source);
}

EntryFields entryFields(const QString& locator)
{
    if (!locator.startsWith(Prefix))
        return {locator, {}, {}};
    const std::optional<Recording> source = fromLocator(locator);
    const QString folder = source->chosenFiles.isEmpty()
                               ? source->folder
                               : QFileInfo(source->chosenFiles.first()).absolutePath();
    QStringList lines;
    for (const QString& file : std::as_const(source->chosenFiles))
        lines.append(fileLine(file));
    return {folder, source->camera, lines.join(QLatin1Char('\n'))};
}

} // namespace tetrapan::RecordingSource
