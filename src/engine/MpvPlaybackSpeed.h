#pragma once

struct mpv_handle;

namespace tetrapan {

// A core's playback speed. The sound keeps its pitch at a speed set, and while nudged from the normal speed
// mpv resamples it instead of stretching it (audio-pitch-correction off). Nudged from another speed it stays
// stretched: the stretcher is in already, and resampled the sound would play an octave off at half speed.
class MpvPlaybackSpeed {
public:
    double value() const { return speed_; }
    // Speeds of 0 and below are ignored.
    void set(mpv_handle* handle, double speed);
    void nudge(mpv_handle* handle, double speed);

private:
    double speed_ = 1.0;
    // The speed last set, which a nudge moves away from.
    double base_ = 1.0;
    bool nudged_ = false;
};

} // namespace tetrapan
