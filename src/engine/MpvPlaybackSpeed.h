#pragma once

struct mpv_handle;

namespace tetrapan {

// A core's playback speed. The sound keeps its pitch at a speed set, but not while nudged: mpv then
// resamples it instead of stretching it (audio-pitch-correction off).
class MpvPlaybackSpeed {
public:
    double value() const { return speed_; }
    // Speeds of 0 and below are ignored.
    void set(mpv_handle* handle, double speed);
    void nudge(mpv_handle* handle, double speed);

private:
    double speed_ = 1.0;
    bool nudged_ = false;
};

} // namespace tetrapan
