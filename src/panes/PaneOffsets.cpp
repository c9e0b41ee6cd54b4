#include "panes/PaneOffsets.h"

#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "library/RecordingSource.h"
#include "library/TBArrayController.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/Predicate.h"

#include <algorithm>
#include <cmath>

namespace tetrapan {

ObjectId PaneOffsets::entry(int viewNo) const
{
    TBArrayController* library = panes_.tbArrayController();
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    if (!library || panes_.uniqueId().isEmpty() || !pane)
        return NoObject;
    // fetched in id order, as the file list arranges the entries of one pane
    const QList<ObjectId> entries = library->getObjectsWithPred(
        LibrarySchema::Filelist, Predicate::equals(LibrarySchema::UniqueId, panes_.uniqueId())
                                     .andEquals(LibrarySchema::ViewNo, viewNo));
    if (entries.isEmpty())
        return NoObject;
    // Only while the pane shows it: a playlist just chosen is the coordinator's before its movies are the
    // panes', and an offset set, nudged or cleared meanwhile would be worked out from the movie shown and
    // written into the entry of another playlist.
    const bool shown = !pane->movie() || pane->filePath().isEmpty() ||
                       RecordingSource::ofEntry(*library->getManagedObjectContext(LibrarySchema::Filelist),
                                                entries.front()) == pane->filePath();
    return shown ? entries.front() : NoObject;
}

PaneOffsets::Placement PaneOffsets::placement(int viewNo) const
{
    const qint64 wallClock = wallClockOffsetMs(viewNo);
    const ObjectId id = entry(viewNo);
    if (id == NoObject)
        return {wallClock, 1.0};
    Placement placed =
        placementOf(*panes_.tbArrayController()->getManagedObjectContext(LibrarySchema::Filelist), id);
    placed.offsetMs += wallClock;
    return placed;
}

PaneOffsets::Placement PaneOffsets::placementOf(const ObjectContext& library, ObjectId entry)
{
    const QVariant rate = library.value(entry, LibrarySchema::Rate);
    const qint64 offsetMs = library.value(entry, LibrarySchema::Offset).toLongLong();
    return {offsetMs >= -LongestOffsetMs && offsetMs <= LongestOffsetMs ? offsetMs : 0,
            rate.isValid() && isAllowedRate(rate.toDouble()) ? rate.toDouble() : 1.0};
}

qint64 PaneOffsets::wallClockOffsetMs(int viewNo) const
{
    const auto recordingOf = [this](int n) -> const Recording* {
        const QTMovieSubView* pane = panes_.qtView(n);
        return pane && pane->movie() ? pane->movie()->recording() : nullptr;
    };
    const Recording* own = recordingOf(viewNo);
    if (!own)
        return 0;
    QVector<qint64> starts;
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        if (const Recording* other = recordingOf(n))
            starts.append(other->startMs());
    }
    return wallClockOffsetMs(own->startMs(), starts);
}

qint64 PaneOffsets::wallClockOffsetMs(qint64 startMs, const QVector<qint64>& startsMs)
{
    qint64 earliest = startMs;
    for (qint64 start : startsMs)
        earliest = std::min(earliest, start);
    return earliest - startMs;
}

qint64 PaneOffsets::offsetMs(int viewNo) const
{
    return placement(viewNo).offsetMs - wallClockOffsetMs(viewNo);
}

void PaneOffsets::setOffsetMs(int viewNo, qint64 offsetMs)
{
    const ObjectId id = entry(viewNo);
    if (id == NoObject || this->offsetMs(viewNo) == offsetMs)
        return;
    ObjectContext* context = panes_.tbArrayController()->getManagedObjectContext(LibrarySchema::Filelist);
    context->beginUndoGroup(offsetMs == 0 ? QStringLiteral("Clear Offset") : QStringLiteral("Set Offset"));
    // no offset is no attribute, so a library that never had offsets is written as before
    context->setValue(id, LibrarySchema::Offset, offsetMs == 0 ? QVariant() : QVariant(offsetMs));
    context->endUndoGroup();
}

double PaneOffsets::rate(int viewNo) const
{
    return placement(viewNo).rate;
}

bool PaneOffsets::setRate(int viewNo, double rate)
{
    const ObjectId id = entry(viewNo);
    if (id == NoObject || !isAllowedRate(rate))
        return false;
    if (this->rate(viewNo) == rate)
        return true;
    ObjectContext* context = panes_.tbArrayController()->getManagedObjectContext(LibrarySchema::Filelist);
    context->beginUndoGroup(QStringLiteral("Set Rate"));
    // rate 1 is no attribute, as offset 0 is none
    context->setValue(id, LibrarySchema::Rate, rate == 1.0 ? QVariant() : QVariant(rate));
    context->endUndoGroup();
    return true;
}

bool PaneOffsets::isAllowedRate(double rate)
{
    return std::isfinite(rate) && rate >= MinRate && rate <= MaxRate;
}

std::optional<double> PaneOffsets::parseRate(const QString& text)
{
    const auto number = [](QStringView part) -> std::optional<double> {
        bool ok = false;
        const double v = part.trimmed().toString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        return ok && std::isfinite(v) && v > 0.0 ? std::optional(v) : std::nullopt;
    };
    const QStringList parts = text.split(QLatin1Char('/'));
    std::optional<double> rate;
    if (parts.size() == 1) {
        rate = number(parts[0]);
    } else if (parts.size() == 2) {
        const auto over = number(parts[0]);
        const auto under = number(parts[1]);
        if (over && under)
            rate = *over / *under;
    }
    return rate && isAllowedRate(*rate) ? rate : std::nullopt;
}

MovieTime PaneOffsets::placedTime(const MovieTime& time, int sourceViewNo, int viewNo,
                                  const MovieTime& duration) const
{
    const Placement source = placement(sourceViewNo);
    const Placement pane = placement(viewNo);
    // equal rates move by the offsets' difference alone, to the millisecond as before rates
    if (source.rate == pane.rate)
        return shiftedTime(time, pane.offsetMs - source.offsetMs, duration);
    const qint32 scale = time.isValid() ? time.scale : MovieTime::DefaultScale;
    const double seconds =
        paneSeconds(commonSeconds(time.seconds(), source.offsetMs, source.rate), pane.offsetMs, pane.rate);
    if (seconds <= 0.0)
        return MovieTime::zero(scale);
    const MovieTime placed = MovieTime::fromSeconds(seconds, scale);
    return duration.isValid() && placed > duration ? duration : placed;
}

void PaneOffsets::skipEach(int kind) const
{
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        QTMovieSubView* pane = panes_.qtView(n);
        if (!pane || !pane->isPlayable())
            continue;
        switch (kind) {
        case MovController::SkipToStart:
            pane->skipStartMovieTime();
            break;
        case MovController::SkipBackward:
            pane->skipBackwardMovieTime();
            break;
        case MovController::SkipForward:
            pane->skipForwardMovieTime();
            break;
        case MovController::SkipToEnd:
            pane->skipEndMovieTime();
            break;
        default:
            break;
        }
    }
    const int leader = leaderViewNo();
    if (leader == 0 || (kind != MovController::SkipBackward && kind != MovController::SkipForward))
        return;
    // The same step of every pane's own time would set panes at other rates apart by the step's difference,
    // and panes at other offsets apart by what each own time's whole seconds cut off (up to a second).
    const MovieTime leaderTime = panes_.qtView(leader)->movie()->currentTime();
    const Placement led = placement(leader);
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        QTMovieSubView* pane = panes_.qtView(n);
        if (n == leader || !pane || !pane->isPlayable() || !pane->movie())
            continue;
        if (const Placement own = placement(n); own.rate == led.rate && own.offsetMs == led.offsetMs)
            continue;
        pane->movie()->setCurrentTime(placedTime(leaderTime, leader, n, pane->movie()->duration()));
    }
}

int PaneOffsets::leaderViewNo() const
{
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        const QTMovieSubView* pane = panes_.qtView(n);
        if (pane && pane->isPlayable() && pane->movie())
            return n;
    }
    return 0;
}

bool PaneOffsets::canChangeOffset(int viewNo) const
{
    const int leader = leaderViewNo();
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    return leader != 0 && leader != viewNo && pane && pane->isPlayable() && pane->movie() &&
           entry(viewNo) != NoObject;
}

void PaneOffsets::changeOffset(int viewNo)
{
    if (!canChangeOffset(viewNo))
        return;
    const int leader = leaderViewNo();
    const auto seconds = [this](int n) { return panes_.qtView(n)->movie()->currentTime().seconds(); };
    const auto milliseconds = [&seconds](int n) { return qRound64(seconds(n) * 1000.0); };
    const Placement lead = placement(leader);
    const double rate = placement(viewNo).rate;
    // where the pane stands against where the leader puts it: at equal rates the difference of the two, to
    // the millisecond; else from the leader's place on the common time line, at the pane's rate
    const qint64 offsetMs =
        rate == lead.rate
            ? milliseconds(viewNo) - milliseconds(leader) + lead.offsetMs
            : qRound64((seconds(viewNo) - rate * commonSeconds(seconds(leader), lead.offsetMs, lead.rate)) *
                       1000.0);
    setOffsetMs(viewNo, offsetMs - wallClockOffsetMs(viewNo));
}

void PaneOffsets::clearOffset(int viewNo)
{
    setOffsetMs(viewNo, 0);
}

MovieTime PaneOffsets::shiftedTime(const MovieTime& time, qint64 shiftMs, const MovieTime& duration)
{
    if (shiftMs == 0)
        return time;
    const qint32 scale = time.isValid() ? time.scale : MovieTime::DefaultScale;
    const MovieTime shifted = MovieTime::fromSeconds(time.seconds() + shiftMs / 1000.0, scale);
    if (shifted < MovieTime::zero(scale))
        return MovieTime::zero(scale);
    if (duration.isValid() && shifted > duration)
        return duration;
    return shifted;
}

} // namespace tetrapan
