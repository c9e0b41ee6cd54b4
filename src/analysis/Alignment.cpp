#include "analysis/Alignment.h"

#include "analysis/BrightnessTrack.h"
#include "analysis/SoundMatch.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <numeric>
#include <optional>
#include <thread>

namespace tetrapan {

namespace {

using Outcome = PaneAlignment::Outcome;

// The two methods seen alike: a track read from a stretch of a file, and a match of two tracks.
struct BySound {
    using Track = SoundExcerpt;
    using Match = SoundMatch;
    static Track read(const QString& path, double start, double length, const std::atomic<bool>& cancel,
                      const std::function<void(double)>& progress = {})
    {
        return SoundExcerpt::read(path, start, length, cancel, progress);
    }
    static Match match(const Track& leader, const Track& other, const std::atomic<bool>& cancel)
    {
        return SoundMatch::find(leader, other, SoundMatch::MinOverlapSeconds, &cancel);
    }
    static bool nothingToMatch(const Match& match) { return match.silent; }
    static Outcome outcomeOf(const Track& track)
    {
        switch (track.status) {
        case SoundExcerpt::Status::Ok:
            return Outcome::Found;
        case SoundExcerpt::Status::NoSound:
            return Outcome::NoSound;
        case SoundExcerpt::Status::Unreadable:
            return Outcome::Unreadable;
        case SoundExcerpt::Status::Cancelled:
            break;
        }
        return Outcome::Cancelled;
    }
    // the stretch read was all the file has from its start
    static bool whole(const Track& track, double length)
    {
        return track.startSeconds <= 0.0 && track.seconds() < length - 1.0;
    }
};

struct ByFlash {
    using Track = BrightnessTrack;
    using Match = FlashMatch;
    static Track read(const QString& path, double start, double length, const std::atomic<bool>& cancel,
                      const std::function<void(double)>& progress = {})
    {
        return BrightnessTrack::read(path, start, length, cancel, progress);
    }
    static Match match(const Track& leader, const Track& other, const std::atomic<bool>&)
    {
        return FlashMatch::find(leader, other);
    }
    static bool nothingToMatch(const Match& match) { return match.noStep; }
    static Outcome outcomeOf(const Track& track)
    {
        switch (track.status) {
        case BrightnessTrack::Status::Ok:
            return Outcome::Found;
        case BrightnessTrack::Status::NoPicture:
            return Outcome::NoSound;
        case BrightnessTrack::Status::Unreadable:
            return Outcome::Unreadable;
        case BrightnessTrack::Status::Cancelled:
            break;
        }
        return Outcome::Cancelled;
    }
    static bool whole(const Track& track, double length)
    {
        return track.seconds.empty() ||
               (track.seconds.front() < 1.0 && track.seconds.back() - track.seconds.front() < length - 1.0);
    }
};

template <typename Method>
std::vector<PaneAlignment> alignBy(const AlignmentPane& leader, const std::vector<AlignmentPane>& others,
                                   const std::atomic<bool>& cancel, const Alignment::Progress& progress)
{
    using Track = typename Method::Track;
    std::vector<PaneAlignment> results(others.size());
    for (size_t n = 0; n < others.size(); ++n) {
        results[n].viewNo = others[n].viewNo;
        results[n].atLeaderSeconds = leader.positionSeconds;
    }
    const auto setAll = [&](Outcome outcome, const QString& problem) {
        for (PaneAlignment& result : results) {
            result.outcome = outcome;
            result.problem = problem;
        }
        return results;
    };

    const double leaderLength = 2.0 * Alignment::LeaderWindowSeconds;
    const Track leaderWindow = Method::read(
        leader.path, leader.positionSeconds - Alignment::LeaderWindowSeconds, leaderLength, cancel);
    if (const Outcome outcome = Method::outcomeOf(leaderWindow); outcome != Outcome::Found)
        return setAll(outcome == Outcome::Cancelled ? outcome : Outcome::LeaderUnusable,
                      leaderWindow.problem);
    const bool leaderWhole = Method::whole(leaderWindow, leaderLength);
    std::optional<Track> leaderAll;
    std::mutex leaderAllMutex;
    const auto wholeLeader = [&]() -> const Track& {
        const std::lock_guard lock(leaderAllMutex);
        if (!leaderAll)
            leaderAll = leaderWhole ? leaderWindow : Method::read(leader.path, 0.0, 0.0, cancel);
        return *leaderAll;
    };

    // two panes at a time: the machine's cores, and the decoders are single-threaded
    std::atomic<size_t> next{0};
    // each pane's share done: its window read is the first half, the whole files (when needed) the rest
    std::vector<double> shares(others.size(), 0.0);
    std::mutex sharesMutex;
    const auto share = [&](size_t n, double from, double to) {
        return [&, n, from, to](double part) {
            const std::lock_guard lock(sharesMutex);
            shares[n] = from + (to - from) * part;
            if (progress)
                progress(std::accumulate(shares.begin(), shares.end(), 0.0) / double(shares.size()));
        };
    };
    const auto comparePane =
        [&](size_t n, PaneAlignment& result) {
            const AlignmentPane& pane = others[n];
            const double otherLength = 2.0 * Alignment::OtherWindowSeconds;
            const Track window = Method::read(pane.path, pane.positionSeconds - Alignment::OtherWindowSeconds,
                                              otherLength, cancel, share(n, 0.0, 0.5));
            result.outcome = Method::outcomeOf(window);
            result.problem = window.problem;
            if (result.outcome == Outcome::Found) {
                auto match = Method::match(leaderWindow, window, cancel);
                const bool otherWhole = Method::whole(window, otherLength);
                if (!match.found() && !(leaderWhole && otherWhole) && !cancel.load()) {
                    result.wholeFiles = true;
                    const Track all =
                        otherWhole ? window : Method::read(pane.path, 0.0, 0.0, cancel, share(n, 0.5, 0.9));
                    // the leader's window in the whole pane first: a tenth of the memory and time of the
                    // whole leader, and enough unless the pane's recording misses that window
                    if (!otherWhole && Method::outcomeOf(all) == Outcome::Found && !cancel.load())
                        match = Method::match(leaderWindow, all, cancel);
                    if (!match.found() && !leaderWhole && !cancel.load()) {
                        const Track& leaderTrack = wholeLeader();
                        if (Method::outcomeOf(all) == Outcome::Found &&
                            Method::outcomeOf(leaderTrack) == Outcome::Found && !cancel.load())
                            match = Method::match(leaderTrack, all, cancel);
                    }
                    if (cancel.load()) {
                        result.outcome = Outcome::Cancelled;
                    } else if (const Outcome whole = Method::outcomeOf(all); whole != Outcome::Found) {
                        result.outcome = whole == Outcome::Unreadable ? whole : Outcome::NotFound;
                        result.problem = all.problem;
                    }
                }
                if (result.outcome == Outcome::Found) {
                    result.lagSeconds = match.lagSeconds;
                    result.confidence = match.confidence;
                    if (Method::nothingToMatch(match))
                        result.outcome = Outcome::Silent;
                    else if (!match.found())
                        result.outcome = Outcome::NotFound;
                }
            }
        };
    const auto work = [&] {
        for (size_t n = next++; n < others.size(); n = next++) {
            PaneAlignment& result = results[n];
            try {
                comparePane(n, result);
            } catch (const std::bad_alloc&) {
                // a file that claims hours more than it holds, or more than memory holds: this pane only
                result.outcome = Outcome::Unreadable;
                result.problem = QStringLiteral("is too long to compare in the memory there is");
            }
            if (cancel.load())
                result.outcome = Outcome::Cancelled;
            share(n, 1.0, 1.0)(1.0);
        }
    };
    std::thread helper(work);
    work();
    helper.join();
    return results;
}

} // namespace

std::vector<PaneAlignment> Alignment::run(Method method, const AlignmentPane& leader,
                                          const std::vector<AlignmentPane>& others,
                                          const std::atomic<bool>& cancel, const Progress& progress)
{
    if (method == Method::Flash)
        return alignBy<ByFlash>(leader, others, cancel, progress);
    return alignBy<BySound>(leader, others, cancel, progress);
}

} // namespace tetrapan
