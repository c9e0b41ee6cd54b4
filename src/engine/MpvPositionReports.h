#pragma once

#include <QElapsedTimer>

#include <optional>

struct mpv_handle;

namespace tetrapan {

// Where mpv last reported a movie (time-pos) and its sound (audio-pts) to stand, each with when the report
// came.
class MpvPositionReports {
public:
    MpvPositionReports() { reportClock_.start(); }

    // What an observed property's change says, in mpv's format and data.
    void timePosChanged(int format, const void* data) { timePos_ = reading(format, data); }
    void audioPtsChanged(int format, const void* data) { audioPts_ = reading(format, data); }
    // Reports from before a seek may still be the last ones once it landed: unknown until new ones come.
    void forget();

    // The last time-pos reported; mpv is asked while none is known.
    double timePosSeconds(mpv_handle* handle) const;
    // The last sound position carried forward by the time since it came, at speed and up to a limit; none
    // while unknown.
    std::optional<double> carriedAudioSeconds(double speed) const;
    // mpv said the movie has no sound position (no sound decoded, or no sound track): asking it would only
    // wait for the core to say so again. A change comes as a report.
    bool hasNoSound() const { return audioPts_.unavailable; }

private:
    // A position mpv reported, with when it came (reportClock_); unknown until the first report, and again
    // once a seek landed. Unavailable: mpv said there is none, which a seek does not change.
    struct Report {
        double seconds = 0.0;
        qint64 atNs = 0;
        bool known = false;
        bool unavailable = false;
    };
    Report reading(int format, const void* data) const;

    QElapsedTimer reportClock_;
    Report timePos_;
    Report audioPts_;
};

} // namespace tetrapan
