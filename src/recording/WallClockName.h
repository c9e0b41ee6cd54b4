#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace tetrapan::WallClockName {

// The date and time a camera wrote into a file's name, read in `zone`: cameras write their local time and
// say nothing of the zone, so the caller names it (the system's own zone, for a camera set to the time of
// the place it records). Year-month-day then hour-minute-second, with or without separators between them:
// 2026-03-01_12-00-00, 20260301_120000, 20260301120000, "2026-03-01 12.00.00", 2026_0301_120000. Nothing
// when the name holds no such date and time, or one that is no real day or time.
std::optional<QDateTime> startIn(const QString& fileName, const QTimeZone& zone);
// The same as milliseconds since the epoch; in the hour that happens twice when the clocks go back, the one
// of the two nearer to `nearMs` (what the file itself says of when it was made).
std::optional<qint64> startMsIn(const QString& fileName, const QTimeZone& zone, qint64 nearMs);

// The part of a name that names the camera: the name less its extension, its date and time, long runs of
// digits (a camera's own file count) and the separators around them. "…_12-00-00_front.mp4" is "front",
// "FRONT_20260301_120000_0042.MP4" is "FRONT"; a name with nothing else is "".
QString cameraOf(const QString& fileName);

} // namespace tetrapan::WallClockName
