#include "recording/WallClockName.h"

#include "platform/fileNames.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cstdlib>

namespace tetrapan::WallClockName {

namespace {

// Not inside a longer run of digits: "120260301_120000" is a count, not a date.
const QRegularExpression& dateTimePattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"((?<!\d)(\d{4})[-_.]?(\d{2})[-_.]?(\d{2})[-_. T]?(\d{2})[-_.:h]?(\d{2})[-_.:m]?(\d{2})(?!\d))"));
    return pattern;
}

struct Found {
    QDate date;
    QTime time;
    qsizetype from = 0;
    qsizetype length = 0;
};

// The name as the patterns can read it: a byte that is not UTF-8, kept in the name (fileNames::fromBytes),
// would make it no text at all to them. One character stands for one, so places in it are places in the name.
QString readable(const QString& fileName)
{
    return fileNames::shown(QFileInfo(fileName).completeBaseName());
}

std::optional<Found> findIn(const QString& name)
{
    QRegularExpressionMatchIterator matches = dateTimePattern().globalMatch(name);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
        const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
        if (date.isValid() && time.isValid() && date.year() >= 1970)
            return Found{date, time, match.capturedStart(), match.capturedLength()};
    }
    return std::nullopt;
}

} // namespace

std::optional<QDateTime> startIn(const QString& fileName, const QTimeZone& zone)
{
    const std::optional<Found> found = findIn(readable(fileName));
    if (!found)
        return std::nullopt;
    return QDateTime(found->date, found->time, zone);
}

std::optional<qint64> startMsIn(const QString& fileName, const QTimeZone& zone, qint64 nearMs)
{
    const std::optional<QDateTime> named = startIn(fileName, zone);
    if (!named)
        return std::nullopt;
    const QTimeZone utc = QTimeZone::utc();
    const qint64 asUtc = QDateTime(named->date(), named->time(), utc).toMSecsSinceEpoch();
    qint64 best = named->toMSecsSinceEpoch();
    // the zone's offsets a day before and after: two moments that both show this time are the hour repeated
    constexpr qint64 Day = 24 * 3600 * 1000;
    for (const qint64 probe : {asUtc - Day, asUtc + Day}) {
        const int offset = zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(probe, utc));
        const qint64 moment = asUtc - qint64(offset) * 1000;
        if (zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(moment, utc)) == offset &&
            std::abs(moment - nearMs) < std::abs(best - nearMs))
            best = moment;
    }
    return best;
}

QString cameraOf(const QString& fileName)
{
    QString name = readable(fileName);
    if (const std::optional<Found> found = findIn(name))
        name.replace(found->from, found->length, QStringLiteral("_"));
    static const QRegularExpression separators(QStringLiteral("[-_. ]+"));
    static const QRegularExpression count(QStringLiteral("^\\d{3,}$"));
    // a dashcam's count joined to its camera's letter: "012F" of the front, "013R" of the rear
    static const QRegularExpression countAndLetter(QStringLiteral("^\\d{3,}([A-Za-z]{1,2})$"));
    // a camera's own count after its prefix: "GH010123" (chapter 01 of take 0123), "C0001", "DSCF1234"
    static const QRegularExpression prefixAndCount(QStringLiteral("^([A-Za-z]{1,4})\\d{4,}$"));
    QStringList kept;
    for (const QString& part : name.split(separators, Qt::SkipEmptyParts)) {
        if (const QRegularExpressionMatch joined = countAndLetter.match(part); joined.hasMatch())
            kept.append(joined.captured(1));
        else if (const QRegularExpressionMatch prefixed = prefixAndCount.match(part); prefixed.hasMatch())
            kept.append(prefixed.captured(1));
        else if (!count.match(part).hasMatch())
            kept.append(part);
    }
    return kept.join(QLatin1Char('_'));
}

} // namespace tetrapan::WallClockName
