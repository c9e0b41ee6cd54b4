#include "engine/MpvPlaybackSpeed.h"

#include "engine/MpvNames.h"
#include "engine/MpvProperties.h"

#include <mpv/client.h>

namespace tetrapan {

void MpvPlaybackSpeed::set(mpv_handle* handle, double speed)
{
    if (speed <= 0.0)
        return;
    if (speed != speed_ &&
        mpv_set_property_async(handle, AsyncReply, mpvname::Speed, MPV_FORMAT_DOUBLE, &speed) >= 0)
        speed_ = speed;
    base_ = speed;
    if (nudged_) {
        // After the speed, which mpv applies first: at the normal speed no stretcher comes back in.
        int correct = 1;
        mpv_set_property_async(handle, AsyncReply, mpvname::AudioPitchCorrection, MPV_FORMAT_FLAG, &correct);
        nudged_ = false;
    }
}

void MpvPlaybackSpeed::nudge(mpv_handle* handle, double speed)
{
    if (speed <= 0.0)
        return;
    if (!nudged_ && base_ == 1.0) {
        // mpv puts its stretcher in while the speed is not 1 and takes it out at 1, and the sound jumps by
        // the stretcher's delay each time: about a frame, the very thing a nudge corrects.
        int correct = 0;
        if (mpv_set_property_async(handle, AsyncReply, mpvname::AudioPitchCorrection, MPV_FORMAT_FLAG,
                                   &correct) >= 0)
            nudged_ = true;
    }
    if (speed != speed_ &&
        mpv_set_property_async(handle, AsyncReply, mpvname::Speed, MPV_FORMAT_DOUBLE, &speed) >= 0)
        speed_ = speed;
}

} // namespace tetrapan
