#pragma once

#include <QString>

#include <optional>

namespace tetrapan {

class SettingsDomain;

// How the seek bar and the panes' controller bars write times: to the millisecond ("h:mm:ss.fff"), for
// telling a frame step or an offset of a few frames apart, or as frame numbers. A click on a shown time
// switches every bar between the two; the choice is kept in the settings, which the bars follow.
class TimeForm {
public:
    static constexpr const char* OptShowsFrames = "optTimeShowsFrames";

    static bool showsFrames(const SettingsDomain& settings);
    static void switchForm(SettingsDomain& settings);

    // "1:02:03.045", to the nearest millisecond; hours run on past 23; nothing below 0.
    static QString clockText(double seconds);
    // "0:00:10.040 / 0:01:00.000"; with frames of a known rate (frames per second above 0) the frame shown,
    // counted from 0, and the movie's number of frames: "frame 251 / 1500".
    static QString text(double currentSeconds, double durationSeconds, double framesPerSecond, bool frames);
    // Longer than any movie or recording: over 30 years.
    static constexpr double MaxSeconds = 1e9;
    // A time as clockText writes it, or shorter ("1:05", "1:05.5"), or in seconds ("65", "65.5"); none for
    // text that is no time, or a time past MaxSeconds.
    static std::optional<double> secondsOf(const QString& text);
    // A moment on the wall clock (milliseconds since the epoch) in local time: "2026-03-01 12:03:25.400".
    static QString wallClockText(qint64 ms);
    // "+4.000 s", "-0.040 s".
    static QString offsetText(qint64 offsetMs);
};

} // namespace tetrapan
