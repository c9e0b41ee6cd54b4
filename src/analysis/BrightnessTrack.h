#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace tetrapan {

// A movie's mean brightness, frame by frame: what a flash, a clapperboard or lights switched on change at
// one moment in every camera that sees them.
struct BrightnessTrack {
    enum class Status { Ok, NoPicture, Unreadable, Cancelled };

    Status status = Status::Ok;
    QString problem;
    std::vector<double> seconds; // each frame's time on the file's time line
    std::vector<float> levels;   // its mean brightness, 0 to 255

    // Frames of [startSeconds, startSeconds + lengthSeconds), all from startSeconds on for lengthSeconds <=
    // 0.
    static BrightnessTrack read(const QString& path, double startSeconds, double lengthSeconds,
                                const std::atomic<bool>& cancel,
                                const std::function<void(double)>& progress = {});
};

// Where the steps of one track's brightness are found in another's: every pair of steps of the same sign
// proposes a lag, and the lag that lines up the most step height wins; frame precision.
struct FlashMatch {
    static constexpr double MinConfidence = 1.5;
    // a step smaller than this (of 255) is a change of scene or noise, not a flash
    static constexpr float MinStep = 40.0f;

    bool noStep = false;     // one of the two has no step to match
    double lagSeconds = 0.0; // other's time of a step minus the leader's time of the same step
    double confidence = 0.0; // the winning lag's score against the best other lag's

    bool found() const { return !noStep && confidence >= MinConfidence; }

    static FlashMatch find(const BrightnessTrack& leader, const BrightnessTrack& other);
};

} // namespace tetrapan
