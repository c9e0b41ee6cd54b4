#pragma once

#include "engine/CompareSettings.h"

#include <QImage>
#include <QRectF>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace tetrapan {

// Two movies in one picture on the software path: B's drawing thread hands each new picture over (offer),
// A's drawing thread combines its own with the one of B due at the same moment (combineInto). Pictures are
// paired by when they are due on the screen: with the sync lock on, A and B at the same moment are due
// together, where "B's latest" would pair A with the frame before whenever B's thread came second. Nothing
// here runs on the GUI thread but the setters.
class SoftwareCombiner {
public:
    using Clock = std::chrono::steady_clock;
    // Pictures due closer together than this show the same moment: well under half a frame at 30 fps.
    static constexpr auto SameMoment = std::chrono::milliseconds(12);
    // How long A's thread waits for B's picture of its moment: both threads draw a picture shortly before it
    // is due, so B's comes within a few milliseconds, but on a busy machine B's thread may get its turn late.
    static constexpr auto LongestWaitForB = std::chrono::milliseconds(150);
    // B is waited for only while it plays and draws new frames this close after one another: frames further
    // apart (a low or a variable frame rate, a busy machine) leave its last picture on show at A's moment.
    static constexpr auto BPlaying = std::chrono::milliseconds(100);
    // A that plays is taken to draw pictures of its own to pair with B's unless it has drawn nothing new for
    // this long (a long seek, a stall): on a busy machine its frames come late or are dropped.
    static constexpr auto APlaying = std::chrono::milliseconds(500);
    // B's pictures kept to pair with: one on each side of A's moment and one more.
    static constexpr int KeptPictures = 3;

    // redrawA: has A's thread draw its current picture again (B's picture of A's moment came late).
    explicit SoftwareCombiner(std::function<void()> redrawA);

    void setSettings(const CompareSettings& settings);
    CompareSettings settings() const;
    // Where each one's picture stands in its image, in device pixels; B's is scaled onto A's. Whether either
    // moved: B's pictures kept so far were fitted to the old places.
    bool setPictureRects(QRectF a, QRectF b);
    // Whether each movie plays, as the movie itself says (not as its pictures' pace suggests: a stopped movie
    // just loaded or stepped draws two frames close together too).
    void setPlaying(bool aPlays, bool bPlays);

    // On B's thread; newFrame as for combineInto.
    void offer(const QImage& b, Clock::time_point due, bool newFrame);
    // On A's thread; newFrame is false for a picture drawn again (paused, resized, settings changed), which
    // takes B's newest without waiting. False while B plays and its picture of A's moment never came: A's
    // picture is then not shown at all rather than beside one of another moment.
    bool combineInto(QImage& a, Clock::time_point due, bool newFrame);
    // Cancels a wait for B, for good: A's thread is to stop.
    void stop();

private:
    struct Kept {
        QImage image;
        Clock::time_point due;
    };
    struct Side {
        bool moviePlays = false;
        // When its last two new frames were due: a picture drawn again is none.
        std::optional<Clock::time_point> before, last;
        void note(Clock::time_point due, bool newFrame)
        {
            if (newFrame)
                before = std::exchange(last, due);
        }
        // The movie plays and drew a new frame within `within` of due, and (paced) the one before within
        // `within` of that.
        bool playsAt(Clock::time_point due, Clock::duration within, bool paced) const
        {
            return moviePlays && last && *last + within >= due &&
                   (!paced || (before && *last - *before <= within));
        }
    };
    // The kept picture of B nearest to due; null when none.
    const Kept* nearest(Clock::time_point due) const;

    const std::function<void()> redrawA_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    CompareSettings settings_;
    QRectF aPicture_, bPicture_;
    std::deque<Kept> kept_;
    Side a_, b_;
    // A was combined with a B picture of another moment: the next one of B has A drawn again.
    bool aPairedStale_ = false;
    bool stopped_ = false;
};

} // namespace tetrapan
