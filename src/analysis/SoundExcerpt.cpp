#include "analysis/SoundExcerpt.h"

#include "analysis/MediaInput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tetrapan {

double SoundExcerpt::power() const
{
    if (samples.empty())
        return 0.0;
    const double sum = std::accumulate(samples.begin(), samples.end(), 0.0, [](double total, float sample) {
        return total + double(sample) * sample;
    });
    return sum / double(samples.size());
}

SoundExcerpt SoundExcerpt::atLeaderPace(double speed) const
{
    SoundExcerpt slowed;
    slowed.fileSeconds = fileSeconds;
    // only the ratio of the two rates counts: both are scaled up so that it holds speed to six places
    constexpr int Scale = 100;
    const int outRate = SampleRate * Scale;
    const auto inRate = int(std::lround(outRate * speed));
    SwrContext* resampler = nullptr;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    if (swr_alloc_set_opts2(&resampler, &mono, AV_SAMPLE_FMT_FLT, outRate, &mono, AV_SAMPLE_FMT_FLT, inRate,
                            0, nullptr) < 0 ||
        swr_init(resampler) < 0) {
        swr_free(&resampler);
        slowed.status = Status::Unreadable;
        return slowed;
    }
    slowed.samples.resize(size_t(double(samples.size()) * outRate / inRate) + 256);
    auto* out = reinterpret_cast<uint8_t*>(slowed.samples.data());
    const auto* in = reinterpret_cast<const uint8_t*>(samples.data());
    int made = swr_convert(resampler, &out, int(slowed.samples.size()), &in, int(samples.size()));
    if (made >= 0) {
        // what the filter still holds
        uint8_t* rest = out + size_t(made) * sizeof(float);
        made += std::max(0, swr_convert(resampler, &rest, int(slowed.samples.size()) - made, nullptr, 0));
    }
    swr_free(&resampler);
    slowed.samples.resize(size_t(std::max(made, 0)));
    return slowed;
}

SoundExcerpt SoundExcerpt::read(const QString& path, double startSeconds, double lengthSeconds,
                                const std::atomic<bool>& cancel, const std::function<void(double)>& progress)
{
    SoundExcerpt excerpt;
    MediaInput input;
    switch (input.open(path, MediaInput::Kind::Sound, &cancel)) {
    case MediaInput::Status::Ok:
        break;
    case MediaInput::Status::NoStream:
        excerpt.status = Status::NoSound;
        excerpt.problem = input.problem();
        return excerpt;
    case MediaInput::Status::Unreadable:
        // an open given up is no file that cannot be read
        excerpt.status = cancel.load() ? Status::Cancelled : Status::Unreadable;
        excerpt.problem = input.problem();
        return excerpt;
    }
    excerpt.fileSeconds = input.durationSeconds();
    startSeconds = std::max(0.0, startSeconds);
    excerpt.startSeconds = startSeconds;
    const double endSeconds = lengthSeconds > 0.0 ? startSeconds + lengthSeconds : excerpt.fileSeconds;
    if (lengthSeconds > 0.0)
        excerpt.samples.reserve(size_t(lengthSeconds * SampleRate) + 1);
    input.seek(startSeconds);

    // the mix to one channel and the rate are swresample's: its low-pass before lowering the rate is what
    // keeps the hiss above 4 kHz out
    SwrContext* resampler = nullptr;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    int sourceRate = 0;
    AVSampleFormat sourceFormat = AV_SAMPLE_FMT_NONE;
    AVChannelLayout sourceLayout{};
    bool anchored = false;
    std::vector<float> converted;
    double lastReport = 0.0;

    const auto fits = [&](size_t more) {
        if (double(excerpt.samples.size() + more) <= LongestSeconds * SampleRate)
            return true;
        excerpt.status = Status::Unreadable;
        excerpt.problem = QStringLiteral("holds more than %1 hours of sound, too long to compare")
                              .arg(LongestSeconds / 3600.0);
        return false;
    };
    const auto frame = [&](const AVFrame& decoded, double seconds) {
        const bool changed = !resampler || decoded.sample_rate != sourceRate ||
                             decoded.format != sourceFormat ||
                             av_channel_layout_compare(&decoded.ch_layout, &sourceLayout) != 0;
        if (changed) {
            swr_free(&resampler);
            av_channel_layout_uninit(&sourceLayout);
            av_channel_layout_copy(&sourceLayout, &decoded.ch_layout);
            sourceRate = decoded.sample_rate;
            sourceFormat = AVSampleFormat(decoded.format);
            // a layout the file does not name is taken as the usual one for that many channels
            AVChannelLayout mixed{};
            av_channel_layout_copy(&mixed, &sourceLayout);
            if (mixed.order == AV_CHANNEL_ORDER_UNSPEC)
                av_channel_layout_default(&mixed, mixed.nb_channels);
            const int made = swr_alloc_set_opts2(&resampler, &mono, AV_SAMPLE_FMT_FLT, SampleRate, &mixed,
                                                 sourceFormat, sourceRate, 0, nullptr);
            av_channel_layout_uninit(&mixed);
            // The sound goes where its times put it: a hole in them (packets lost in a broadcast or a
            // capture) is silence, and sound given twice over is heard once, instead of all that follows
            // moving by the hole. Only past GapSeconds, so the times' own jitter changes nothing; never
            // by stretching.
            if (made >= 0) {
                av_opt_set_double(resampler, "min_comp", GapSeconds, 0);
                av_opt_set_double(resampler, "min_hard_comp", GapSeconds, 0);
            }
            if (made < 0 || swr_init(resampler) < 0) {
                excerpt.status = Status::Unreadable;
                excerpt.problem = QStringLiteral("has sound that cannot be converted");
                return false;
            }
        }
        const double frameEnd = seconds + double(decoded.nb_samples) / std::max(1, sourceRate);
        if (frameEnd <= startSeconds)
            return true;
        // in 1 / (source rate x excerpt rate) units; the first is where the resampler's output starts
        swr_next_pts(resampler, std::llround(seconds * double(sourceRate) * SampleRate));
        const int room = swr_get_out_samples(resampler, decoded.nb_samples);
        converted.resize(size_t(std::max(room, 0)));
        auto* out = reinterpret_cast<uint8_t*>(converted.data());
        const int made = swr_convert(resampler, &out, room,
                                     const_cast<const uint8_t**>(decoded.extended_data), decoded.nb_samples);
        if (made <= 0)
            return true;
        if (!anchored) {
            anchored = true;
            // swresample holds back the tail its filter still needs, not the head: what comes out first
            // stands for the time of what went in first
            const double outStart = seconds;
            const double skip = (startSeconds - outStart) * SampleRate;
            if (skip < 0.0) {
                // silence until the sound starts, but never more than was asked for: a damaged file's
                // sound may claim to start days after its picture
                if (lengthSeconds > 0.0 && -skip >= lengthSeconds * SampleRate) {
                    excerpt.samples.assign(size_t(lengthSeconds * SampleRate), 0.0f);
                    return false;
                }
                if (!fits(size_t(std::lround(-skip))))
                    return false;
                excerpt.samples.assign(size_t(std::lround(-skip)), 0.0f);
            } else {
                const auto drop = std::min<size_t>(size_t(std::lround(skip)), size_t(made));
                excerpt.samples.insert(excerpt.samples.end(), converted.begin() + long(drop),
                                       converted.begin() + made);
                return true;
            }
        }
        if (!fits(size_t(made)))
            return false;
        excerpt.samples.insert(excerpt.samples.end(), converted.begin(), converted.begin() + made);
        const double reached = startSeconds + excerpt.seconds();
        if (progress && endSeconds > startSeconds && reached - lastReport > 1.0) {
            lastReport = reached;
            progress(std::min(1.0, (reached - startSeconds) / (endSeconds - startSeconds)));
        }
        return lengthSeconds <= 0.0 || reached < endSeconds;
    };
    const bool read = input.decode(frame, cancel);
    swr_free(&resampler);
    av_channel_layout_uninit(&sourceLayout);
    if (cancel.load()) {
        excerpt.status = Status::Cancelled;
        excerpt.samples.clear();
        return excerpt;
    }
    if (excerpt.status != Status::Ok) {
        excerpt.samples = {};
        return excerpt;
    }
    if (!read && excerpt.samples.empty()) {
        excerpt.status = Status::Unreadable;
        excerpt.problem = input.problem();
        return excerpt;
    }
    if (lengthSeconds > 0.0)
        excerpt.samples.resize(std::min(excerpt.samples.size(), size_t(lengthSeconds * SampleRate)));
    if (progress)
        progress(1.0);
    return excerpt;
}

} // namespace tetrapan
