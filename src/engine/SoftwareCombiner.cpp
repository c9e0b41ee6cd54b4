#include "engine/SoftwareCombiner.h"

#include "engine/FrameCombiner.h"

namespace tetrapan {

namespace {
using Clock = SoftwareCombiner::Clock;

Clock::duration distance(Clock::time_point a, Clock::time_point b)
{
    return a > b ? a - b : b - a;
}
} // namespace

SoftwareCombiner::SoftwareCombiner(std::function<void()> redrawA) : redrawA_(std::move(redrawA)) {}

void SoftwareCombiner::setSettings(const CompareSettings& settings)
{
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

CompareSettings SoftwareCombiner::settings() const
{
    std::lock_guard lock(mutex_);
    return settings_;
}

bool SoftwareCombiner::setPictureRects(QRectF a, QRectF b)
{
    std::lock_guard lock(mutex_);
    const bool moved = a != aPicture_ || b != bPicture_;
    aPicture_ = a;
    bPicture_ = b;
    return moved;
}

void SoftwareCombiner::setPlaying(bool aPlays, bool bPlays)
{
    bool redraw = false;
    {
        std::lock_guard lock(mutex_);
        a_.moviePlays = aPlays;
        b_.moviePlays = bPlays;
        // A's picture whose moment B never brought (B stopped just before it) shows beside B's last one
        redraw = !bPlays && std::exchange(aPairedStale_, false);
    }
    arrived_.notify_all();
    if (redraw)
        redrawA_();
}

void SoftwareCombiner::offer(const QImage& b, Clock::time_point due, bool newFrame)
{
    bool redraw = false;
    {
        std::lock_guard lock(mutex_);
        // A's images are of B's size: B is drawn at A's size while compared. A copy, so that B's own buffer
        // goes back to its renderer at once.
        QImage own = FrameCombiner::fitted(b, bPicture_, b.size(), aPicture_);
        if (own.constBits() == b.constBits())
            own = b.copy();
        kept_.push_back({std::move(own), due});
        while (static_cast<int>(kept_.size()) > KeptPictures)
            kept_.pop_front();
        b_.note(due, newFrame);
        // A that does not play draws no picture of its own to pair with this one: a B loaded, stepped or
        // nudged alone, or playing beside a stopped A, shows in A's place only when A is drawn again. A that
        // plays pairs its next picture anew: drawing it again for each of B's would cost a pane's CPU.
        redraw = std::exchange(aPairedStale_, false) || !a_.playsAt(due, APlaying, false);
    }
    arrived_.notify_all();
    if (redraw)
        redrawA_();
}

const SoftwareCombiner::Kept* SoftwareCombiner::nearest(Clock::time_point due) const
{
    const Kept* best = nullptr;
    for (const Kept& kept : kept_) {
        if (!best || distance(kept.due, due) < distance(best->due, due))
            best = &kept;
    }
    return best;
}

bool SoftwareCombiner::combineInto(QImage& a, Clock::time_point due, bool newFrame)
{
    std::unique_lock lock(mutex_);
    a_.note(due, newFrame);
    // A stopped B (loaded, stepped, at its end) has no picture of this moment to wait for
    bool bPlays = !kept_.empty() && b_.playsAt(due, BPlaying, true);
    if (newFrame && bPlays) {
        // B's picture of this moment may still be on its way, unless B stops meanwhile
        arrived_.wait_until(lock, std::max(Clock::now(), due) + LongestWaitForB, [&] {
            return stopped_ || !b_.moviePlays || kept_.back().due + SameMoment >= due;
        });
        bPlays = b_.moviePlays;
        // B's thread fell behind: a moment with no picture of B is not shown, and B's late one has A drawn
        // again
        if (!stopped_ && bPlays && kept_.back().due + SameMoment < due) {
            aPairedStale_ = true;
            return false;
        }
    }
    const Kept* b = newFrame ? nearest(due) : (kept_.empty() ? nullptr : &kept_.back());
    // one drawn before B took A's size: B's next one is
    if (b && b->image.size() != a.size())
        b = nullptr;
    // B's picture of this moment comes later (a step takes B longer): A is drawn again with it. Not while B
    // plays, when A's next picture pairs anew: drawing each of A's twice over costs a pane's CPU.
    aPairedStale_ = !b || (newFrame && !bPlays && distance(b->due, due) > SameMoment && b->due < due);
    if (!b)
        return true;
    const QImage image = b->image;
    const CompareSettings settings = settings_;
    lock.unlock();
    FrameCombiner::combine(a, image, settings);
    return true;
}

void SoftwareCombiner::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    arrived_.notify_all();
}

} // namespace tetrapan
