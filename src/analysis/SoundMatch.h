#pragma once

#include "analysis/SoundExcerpt.h"

namespace tetrapan {

// Where one excerpt's sound is found in another's: generalised cross-correlation with the phase
// transform. Each frequency of the cross spectrum counts by its phase alone, so a quiet microphone, a
// different codec or steady noise weigh no more than the shape of the sound itself; only 150 Hz to 3.8 kHz
// count, where speech and knocks are and hum and the codecs' cut-offs are not.
struct SoundMatch {
    // The peak must stand this many times above the best peak elsewhere to be taken.
    static constexpr double MinConfidence = 2.5;
    // what counts as elsewhere: farther than this from the peak
    static constexpr double NeighbourhoodSeconds = 0.01;

    bool silent = false;     // one of the two held no sound to compare
    double lagSeconds = 0.0; // other's time of a sound minus the leader's time of the same sound
    double confidence = 0.0; // the peak against the best peak elsewhere

    bool found() const { return !silent && confidence >= MinConfidence; }

    static constexpr double MinOverlapSeconds = 5.0;

    // Compares every lag at which the two overlap by at least minOverlapSeconds (less when either is
    // shorter: then half the shorter one). Once `cancel` is set it gives up between its steps (a whole
    // file's transform takes seconds) and finds nothing.
    static SoundMatch find(const SoundExcerpt& leader, const SoundExcerpt& other,
                           double minOverlapSeconds = MinOverlapSeconds,
                           const std::atomic<bool>* cancel = nullptr);
};

} // namespace tetrapan
