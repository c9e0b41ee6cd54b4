#include "analysis/SoundMatch.h"

#include <QFile>

#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <limits>
#include <memory>
#include <mutex>
#include <new>

namespace tetrapan {

namespace {

constexpr double LowHz = 150.0;
constexpr double HighHz = 3800.0;
// below this mean square (-70 dBFS) an excerpt is taken for silence
constexpr double SilentPower = 1e-7;

// FFTW's planner is not safe to call from two threads at once; the transforms themselves are
std::mutex& plannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

struct FftwFree {
    void operator()(void* memory) const { fftwf_free(memory); }
};
template <typename T> using FftwBuffer = std::unique_ptr<T[], FftwFree>;

struct PlanDestroy {
    void operator()(fftwf_plan plan) const
    {
        const std::lock_guard lock(plannerMutex());
        fftwf_destroy_plan(plan);
    }
};
using Plan = std::unique_ptr<std::remove_pointer_t<fftwf_plan>, PlanDestroy>;

// A comparison of two long files takes gigabytes (3 h against 3 h: about 3 GB). Two at once could take more
// than the machine has, and Linux hands out memory it cannot back, killing the program when it is used
// rather than failing the allocation: such comparisons run one at a time, and none that the memory free now
// cannot hold.
constexpr size_t LargeComparisonBytes = size_t(256) << 20;

std::timed_mutex& largeComparisonMutex()
{
    static std::timed_mutex mutex;
    return mutex;
}

// The memory the system could give without swapping; the most there is where it does not say.
size_t availableBytes()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return std::numeric_limits<size_t>::max();
    for (const QByteArray& line : meminfo.readAll().split('\n')) {
        if (line.startsWith("MemAvailable:")) {
            bool ok = false;
            const qulonglong kib = line.mid(13).trimmed().split(' ').value(0).toULongLong(&ok);
            if (ok)
                return size_t(kib) * 1024;
        }
    }
    return std::numeric_limits<size_t>::max();
}

size_t transformSize(size_t samples)
{
    size_t size = 1024;
    while (size < samples)
        size *= 2;
    return size;
}

} // namespace

SoundMatch SoundMatch::find(const SoundExcerpt& leader, const SoundExcerpt& other, double minOverlapSeconds,
                            const std::atomic<bool>* cancel)
{
    SoundMatch match;
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    if (leader.power() < SilentPower || other.power() < SilentPower) {
        match.silent = true;
        return match;
    }
    const auto leaderCount = long(leader.samples.size());
    const auto otherCount = long(other.samples.size());
    const size_t size = transformSize(size_t(leaderCount + otherCount));
    const size_t bins = size / 2 + 1;
    if (size > size_t(std::numeric_limits<int>::max()))
        throw std::bad_alloc();
    const size_t bytes = size * sizeof(float) + 2 * bins * sizeof(fftwf_complex);
    std::unique_lock<std::timed_mutex> large(largeComparisonMutex(), std::defer_lock);
    if (bytes > LargeComparisonBytes) {
        // another pane's whole files first; a cancel is not kept waiting for them
        while (!large.try_lock_for(std::chrono::milliseconds(100)))
            if (cancelled())
                return match;
        if (bytes > availableBytes())
            throw std::bad_alloc();
    }
    FftwBuffer<float> signal(fftwf_alloc_real(size));
    FftwBuffer<fftwf_complex> leaderSpectrum(fftwf_alloc_complex(bins));
    FftwBuffer<fftwf_complex> otherSpectrum(fftwf_alloc_complex(bins));
    if (!signal || !leaderSpectrum || !otherSpectrum)
        throw std::bad_alloc();
    Plan forward, backward;
    {
        const std::lock_guard lock(plannerMutex());
        forward.reset(fftwf_plan_dft_r2c_1d(int(size), signal.get(), leaderSpectrum.get(), FFTW_ESTIMATE));
        backward.reset(fftwf_plan_dft_c2r_1d(int(size), leaderSpectrum.get(), signal.get(), FFTW_ESTIMATE));
    }
    const auto transform = [&](const std::vector<float>& samples, fftwf_complex* spectrum) {
        std::fill(signal.get(), signal.get() + size, 0.0f);
        std::copy(samples.begin(), samples.end(), signal.get());
        fftwf_execute_dft_r2c(forward.get(), signal.get(), spectrum);
    };
    transform(leader.samples, leaderSpectrum.get());
    if (cancelled())
        return match;
    transform(other.samples, otherSpectrum.get());
    if (cancelled())
        return match;

    // conj(L) * O, whitened and band-limited; its inverse at k is the match of other[n + k] with leader[n]
    const double binHz = double(SoundExcerpt::SampleRate) / double(size);
    for (size_t bin = 0; bin < bins; ++bin) {
        const double hz = double(bin) * binHz;
        const std::complex<float> l(leaderSpectrum[bin][0], leaderSpectrum[bin][1]);
        const std::complex<float> o(otherSpectrum[bin][0], otherSpectrum[bin][1]);
        std::complex<float> cross = std::conj(l) * o;
        const float magnitude = std::abs(cross);
        if (hz < LowHz || hz > HighHz || magnitude < 1e-20f)
            cross = 0.0f;
        else
            cross /= magnitude;
        leaderSpectrum[bin][0] = cross.real();
        leaderSpectrum[bin][1] = cross.imag();
    }
    fftwf_execute_dft_c2r(backward.get(), leaderSpectrum.get(), signal.get());
    if (cancelled())
        return match;

    const auto overlap = long(std::min(minOverlapSeconds * SoundExcerpt::SampleRate,
                                       0.5 * double(std::min(leaderCount, otherCount))));
    const long lowest = -(leaderCount - overlap);
    const long highest = otherCount - overlap;
    const auto at = [&](long lag) { return signal[size_t(lag < 0 ? long(size) + lag : lag)]; };
    long best = 0;
    float bestValue = -INFINITY;
    for (long lag = lowest; lag <= highest; ++lag) {
        if (at(lag) > bestValue) {
            bestValue = at(lag);
            best = lag;
        }
    }
    const auto neighbourhood = long(NeighbourhoodSeconds * SoundExcerpt::SampleRate);
    float runnerUp = 0.0f;
    for (long lag = lowest; lag <= highest; ++lag) {
        if (std::abs(lag - best) > neighbourhood)
            runnerUp = std::max(runnerUp, at(lag));
    }
    // the peak lies between samples: a parabola through it and its neighbours finds where
    double fraction = 0.0;
    if (best > lowest && best < highest) {
        const double before = at(best - 1), peak = at(best), after = at(best + 1);
        const double curve = before - 2.0 * peak + after;
        if (curve < 0.0)
            fraction = std::clamp(0.5 * (before - after) / curve, -0.5, 0.5);
    }
    match.lagSeconds =
        other.startSeconds - leader.startSeconds + (double(best) + fraction) / SoundExcerpt::SampleRate;
    match.confidence =
        runnerUp > 0.0f ? double(bestValue) / double(runnerUp) : (bestValue > 0.0f ? 1e9 : 0.0);
    return match;
}

} // namespace tetrapan
