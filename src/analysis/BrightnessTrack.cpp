#include "analysis/BrightnessTrack.h"

#include "analysis/MediaInput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>

namespace tetrapan {

namespace {

// the picture is shrunk to this before it is averaged: a flash lights the whole picture
constexpr int SampleWidth = 32;
constexpr int SampleHeight = 18;

struct Step {
    double seconds;
    float height; // signed: brighter is positive
};

std::vector<Step> stepsOf(const BrightnessTrack& track)
{
    std::vector<Step> steps;
    for (size_t n = 1; n < track.levels.size(); ++n) {
        const float height = track.levels[n] - track.levels[n - 1];
        if (std::abs(height) >= FlashMatch::MinStep)
            steps.push_back({track.seconds[n], height});
    }
    // a lively picture has many steps; the few highest decide, and keep the pairing of steps quick
    constexpr size_t Kept = 24;
    if (steps.size() > Kept) {
        std::nth_element(steps.begin(), steps.begin() + Kept, steps.end(), [](const Step& a, const Step& b) {
            return std::abs(a.height) > std::abs(b.height);
        });
        steps.resize(Kept);
    }
    return steps;
}

double frameSeconds(const BrightnessTrack& track)
{
    if (track.seconds.size() < 2)
        return 1.0 / 25.0;
    return (track.seconds.back() - track.seconds.front()) / double(track.seconds.size() - 1);
}

} // namespace

BrightnessTrack BrightnessTrack::read(const QString& path, double startSeconds, double lengthSeconds,
                                      const std::atomic<bool>& cancel,
                                      const std::function<void(double)>& progress)
{
    BrightnessTrack track;
    MediaInput input;
    switch (input.open(path, MediaInput::Kind::Picture, &cancel)) {
    case MediaInput::Status::Ok:
        break;
    case MediaInput::Status::NoStream:
        track.status = Status::NoPicture;
        track.problem = input.problem();
        return track;
    case MediaInput::Status::Unreadable:
        // an open given up is no file that cannot be read
        track.status = cancel.load() ? Status::Cancelled : Status::Unreadable;
        track.problem = input.problem();
        return track;
    }
    startSeconds = std::max(0.0, startSeconds);
    const double endSeconds = lengthSeconds > 0.0 ? startSeconds + lengthSeconds : input.durationSeconds();
    input.seek(startSeconds);
    SwsContext* scaler = nullptr;
    uint8_t gray[SampleWidth * SampleHeight];
    double lastReport = startSeconds;
    const auto frame = [&](const AVFrame& decoded, double seconds) {
        if (seconds < startSeconds - 1e-6)
            return true;
        if (lengthSeconds > 0.0 && seconds >= endSeconds)
            return false;
        scaler = sws_getCachedContext(scaler, decoded.width, decoded.height, AVPixelFormat(decoded.format),
                                      SampleWidth, SampleHeight, AV_PIX_FMT_GRAY8, SWS_AREA, nullptr, nullptr,
                                      nullptr);
        if (!scaler)
            return true;
        uint8_t* planes[1] = {gray};
        const int strides[1] = {SampleWidth};
        sws_scale(scaler, decoded.data, decoded.linesize, 0, decoded.height, planes, strides);
        int sum = 0;
        for (const uint8_t level : gray)
            sum += level;
        track.seconds.push_back(seconds);
        track.levels.push_back(float(sum) / float(SampleWidth * SampleHeight));
        if (progress && endSeconds > startSeconds && seconds - lastReport > 1.0) {
            lastReport = seconds;
            progress(std::min(1.0, (seconds - startSeconds) / (endSeconds - startSeconds)));
        }
        return true;
    };
    const bool read = input.decode(frame, cancel);
    sws_freeContext(scaler);
    if (cancel.load()) {
        track = {};
        track.status = Status::Cancelled;
    } else if (!read && track.levels.empty()) {
        track.status = Status::Unreadable;
        track.problem = input.problem();
    }
    return track;
}

FlashMatch FlashMatch::find(const BrightnessTrack& leader, const BrightnessTrack& other)
{
    FlashMatch match;
    const std::vector<Step> leaderSteps = stepsOf(leader);
    const std::vector<Step> otherSteps = stepsOf(other);
    if (leaderSteps.empty() || otherSteps.empty()) {
        match.noStep = true;
        return match;
    }
    // two steps are the same when they lie within a frame of each other once the lag is applied
    const double tolerance = std::max(frameSeconds(leader), frameSeconds(other)) * 0.75;
    const auto score = [&](double lag) {
        double total = 0.0;
        for (const Step& l : leaderSteps)
            for (const Step& o : otherSteps)
                if ((l.height > 0) == (o.height > 0) && std::abs(o.seconds - l.seconds - lag) <= tolerance)
                    total += std::min(std::abs(l.height), std::abs(o.height));
        return total;
    };
    struct Candidate {
        double lag;
        double score;
    };
    std::vector<Candidate> candidates;
    for (const Step& l : leaderSteps)
        for (const Step& o : otherSteps)
            if ((l.height > 0) == (o.height > 0))
                candidates.push_back({o.seconds - l.seconds, 0.0});
    if (candidates.empty()) {
        match.noStep = true;
        return match;
    }
    for (Candidate& candidate : candidates)
        candidate.score = score(candidate.lag);
    const auto best =
        std::max_element(candidates.begin(), candidates.end(),
                         [](const Candidate& a, const Candidate& b) { return a.score < b.score; });
    double runnerUp = 0.0;
    for (const Candidate& candidate : candidates)
        if (std::abs(candidate.lag - best->lag) > 2.0 * tolerance)
            runnerUp = std::max(runnerUp, candidate.score);
    match.lagSeconds = best->lag;
    match.confidence = runnerUp > 0.0 ? best->score / runnerUp : 1e9;
    return match;
}

} // namespace tetrapan
