#include "analysis/TwoPoints.h"

#include "analysis/MediaInput.h"
#include "analysis/SoundMatch.h"

#include <algorithm>
#include <cmath>

namespace tetrapan {

namespace {

using Outcome = PaneAlignment::Outcome;

// what is looked at of the leader at each point, and how far around the expected place in the pane
constexpr double LeaderSeconds = 20.0;
constexpr double PaneMarginSeconds = 40.0;
// the point's distance from the leader's ends, as a share of its length
constexpr double EndShare = 0.05;

// film and video rates against each other, and a clock's small error
constexpr double Speeds[] = {
    1.0,          25.0 / 24.0, 24.0 / 25.0, 1001.0 / 1000.0,   1000.0 / 1001.0,  25.0 / 23.976, 23.976 / 25.0,
    30.0 / 25.0,  25.0 / 30.0, 30.0 / 24.0, 24.0 / 30.0,       50.0 / 48.0,      48.0 / 50.0,   30.0 / 29.83,
    29.83 / 30.0, 2.0,         0.5,         60000.0 / 59940.0, 59940.0 / 60000.0};

struct Point {
    double paneSeconds = 0.0; // where the leader excerpt's start lies in the pane
    double confidence = 0.0;
    bool found = false;
};

// Where the leader's excerpt is found in the pane's, the pane's brought to the leader's pace.
Point matchAt(const SoundExcerpt& leader, const SoundExcerpt& pane, double speed,
              const std::atomic<bool>& cancel)
{
    Point point;
    SoundExcerpt slowed = speed == 1.0 ? pane : pane.atLeaderPace(speed);
    slowed.startSeconds = 0.0;
    SoundExcerpt from = leader;
    from.startSeconds = 0.0;
    const SoundMatch match = SoundMatch::find(from, slowed, 0.5 * LeaderSeconds, &cancel);
    point.found = match.found();
    point.confidence = match.confidence;
    point.paneSeconds = pane.startSeconds + match.lagSeconds * speed;
    return point;
}

double fileSeconds(const QString& path, const std::atomic<bool>& cancel)
{
    MediaInput input;
    input.open(path, MediaInput::Kind::Sound, &cancel);
    return input.durationSeconds();
}

} // namespace

TwoPointAlignment TwoPointAlignment::run(const AlignmentPane& leader, const AlignmentPane& pane,
                                         double presentSpeed, const std::atomic<bool>& cancel,
                                         const Alignment::Progress& progress)
{
    TwoPointAlignment result;
    const auto report = [&](double share) {
        if (progress)
            progress(share);
    };
    const double leaderLength = fileSeconds(leader.path, cancel);
    const double earliest = std::max(0.0, leaderLength * EndShare);
    const double latest = std::max(earliest, leaderLength * (1.0 - EndShare) - LeaderSeconds);
    // The first point where the leader stands, where the panes' present offset holds (it is off by the rate's
    // error times the distance from there: minutes, an hour into a film sped up by 25/24); the second at the
    // farther end, the farther the more exact the rate.
    const double first = std::clamp(leader.positionSeconds, earliest, latest);
    const double second = first - earliest > latest - first ? earliest : latest;
    const SoundExcerpt leaderFirst = SoundExcerpt::read(leader.path, first, LeaderSeconds, cancel);
    if (leaderFirst.status != SoundExcerpt::Status::Ok) {
        result.outcome = leaderFirst.status == SoundExcerpt::Status::Cancelled ? Outcome::Cancelled
                                                                               : Outcome::LeaderUnusable;
        result.problem = leaderFirst.problem;
        return result;
    }
    // the pane where the panes' present offset and rate put the leader's first point
    const double expected = pane.positionSeconds + (first - leader.positionSeconds) * presentSpeed;
    const SoundExcerpt paneFirst = SoundExcerpt::read(pane.path, expected - PaneMarginSeconds,
                                                      LeaderSeconds * 2.5 + 2 * PaneMarginSeconds, cancel);
    if (paneFirst.status != SoundExcerpt::Status::Ok) {
        result.outcome = paneFirst.status == SoundExcerpt::Status::NoSound     ? Outcome::NoSound
                         : paneFirst.status == SoundExcerpt::Status::Cancelled ? Outcome::Cancelled
                                                                               : Outcome::Unreadable;
        result.problem = paneFirst.problem;
        return result;
    }
    report(0.2);
    Point best;
    double speed = 1.0;
    for (const double candidate : Speeds) {
        if (cancel.load()) {
            result.outcome = Outcome::Cancelled;
            return result;
        }
        const Point point = matchAt(leaderFirst, paneFirst, candidate, cancel);
        if (point.confidence > best.confidence) {
            best = point;
            speed = candidate;
        }
    }
    report(0.6);
    if (!best.found) {
        result.confidence = best.confidence;
        return result;
    }
    const SoundExcerpt leaderSecond = SoundExcerpt::read(leader.path, second, LeaderSeconds, cancel);
    const double expectedSecond = best.paneSeconds + (second - first) * speed;
    const SoundExcerpt paneSecond = SoundExcerpt::read(pane.path, expectedSecond - PaneMarginSeconds / 4,
                                                       LeaderSeconds * speed + PaneMarginSeconds / 2, cancel);
    if (cancel.load()) {
        result.outcome = Outcome::Cancelled;
        return result;
    }
    report(0.8);
    const Point end = matchAt(leaderSecond, paneSecond, speed, cancel);
    report(1.0);
    result.confidence = std::min(best.confidence, end.confidence);
    if (!end.found || std::abs(second - first) < LeaderSeconds)
        return result;
    result.outcome = Outcome::Found;
    result.leaderFirstSeconds = leaderFirst.startSeconds;
    result.paneFirstSeconds = best.paneSeconds;
    result.leaderSecondSeconds = leaderSecond.startSeconds;
    result.paneSecondSeconds = end.paneSeconds;
    result.speed =
        (end.paneSeconds - best.paneSeconds) / (leaderSecond.startSeconds - leaderFirst.startSeconds);
    return result;
}

} // namespace tetrapan
