#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace tetrapan {

// A stretch of a movie's sound as the analysis compares it: one channel, the mean of the file's channels,
// at a low rate, so that minutes of it fit a transform and voices and knocks, not hiss, decide.
struct SoundExcerpt {
    enum class Status { Ok, NoSound, Unreadable, Cancelled };

    static constexpr int SampleRate = 8000;
    // A hole in the sound's times longer than this is silence in the excerpt, sound given twice over for
    // longer is taken once; shorter differences are the times' own jitter.
    static constexpr double GapSeconds = 0.02;
    // The most sound an excerpt holds: whole against whole, two such files take about 3 GB to compare.
    static constexpr double LongestSeconds = 3 * 3600.0;

    Status status = Status::Ok;
    QString problem;           // why not Ok, as "has no sound"
    double startSeconds = 0.0; // the file's time of samples[0]
    double fileSeconds = 0.0;  // the whole file's length
    std::vector<float> samples;

    double seconds() const { return double(samples.size()) / SampleRate; }
    // the mean square of the samples; 0 for none
    double power() const;

    // The sound of a movie in which `speed` of its seconds pass for each of the leader's, brought to the
    // leader's pace (stretched by 1 / speed) by libswresample; starts at 0.
    SoundExcerpt atLeaderPace(double speed) const;

    // Decodes [startSeconds, startSeconds + lengthSeconds) of the file's sound, all of it from startSeconds
    // on when lengthSeconds <= 0; Unreadable past LongestSeconds. `progress` gets the share of the stretch
    // read, 0 to 1, now and then.
    static SoundExcerpt read(const QString& path, double startSeconds, double lengthSeconds,
                             const std::atomic<bool>& cancel,
                             const std::function<void(double)>& progress = {});
};

} // namespace tetrapan
