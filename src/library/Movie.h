#pragma once

#include "library/MovieTime.h"
#include "library/Recording.h"

#include <QImage>
#include <QObject>
#include <QString>

namespace tetrapan {

// One opened movie file. A movie starts stopped at its beginning, unmuted, never looping.
class Movie : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Movie() override = default;

    virtual QString filePath() const = 0;
    // The file's title tag when it has one, else the file name.
    virtual QString displayName() const = 0;
    // What this movie plays when it is a recording of many files: its time 0 stands at the recording's
    // startMs() on the wall clock and its gaps are in its time line. Null for a movie of one file.
    virtual const Recording* recording() const { return nullptr; }

    virtual void gotoBeginning() = 0;
    // Shows the last frame; currentTime() then equals duration().
    virtual void gotoEnd() = 0;
    // Plays from the current position at the normal rate; a movie standing at its end starts again from the
    // beginning.
    virtual void play() = 0;
    virtual void stop() = 0;
    // 1.0 while playing, 0.0 when stopped (also when it stopped by itself at the end).
    virtual float rate() const = 0;

    // Never beyond duration().
    virtual MovieTime currentTime() const = 0;
    // Frame-accurate; times before the beginning go to the beginning, after the end to the end.
    virtual void setCurrentTime(const MovieTime& time) = 0;
    // A quick seek for following a dragged pointer: it may show a nearby picture the engine reaches sooner
    // (a key frame) instead of the exact one. Exact where the engine knows no quicker way.
    virtual void seekFast(const MovieTime& time) { setCurrentTime(time); }
    virtual MovieTime duration() const = 0;
    // Frames per second as the file states them, for showing frame numbers; 0 where not known (yet).
    virtual double framesPerSecond() const { return 0.0; }

    virtual bool muted() const = 0;
    virtual void setMuted(bool muted) = 0;
    // 0.0 (silent) to 1.0 (full).
    virtual float volume() const = 0;
    virtual void setVolume(float volume) = 0;

    virtual bool loops() const = 0;
    virtual void setLoops(bool loops) = 0;
    virtual bool loopsBackAndForth() const = 0;
    virtual void setLoopsBackAndForth(bool loops) = 0;

    // Single frames and snapshots.
    // Shows the next frame (forward) or the one before and stays stopped there; a playing movie stops
    // first. Exact also where frames are not evenly spaced. A movie without pictures does not move.
    virtual void stepFrame(bool forward) = 0;
    // Asks for the picture on show at the video's own size, with nothing drawn over it. The answer comes
    // later, once, through frameImageReady: a null image when there is none.
    virtual void requestFrameImage() = 0;

    // Keeping panes in step. The defaults suit a movie whose speed cannot be changed.
    // The position in seconds, as finely as the engine knows it (currentTime() may be rounded); where a seek
    // is underway, its target.
    virtual double positionSeconds() const { return currentTime().seconds(); }
    // The position by the clock that paces playback, for comparing players while they play; it may run
    // between frames. The position where the engine knows no finer clock.
    virtual double clockSeconds() const { return positionSeconds(); }
    // Playback speed as a factor of the normal speed; it stays while the movie is stopped.
    virtual double speed() const { return 1.0; }
    virtual void setSpeed(double speed) { Q_UNUSED(speed); }
    // A small change of speed, for a while, to catch up with another movie; setSpeed ends it. The sound
    // may change pitch a little rather than be stretched: a stretcher put in and taken out again moves the
    // sound, and the pictures timed by it, by its own delay each time.
    virtual void nudgeSpeed(double speed) { setSpeed(speed); }
    // A seek was asked for and has not landed yet.
    virtual bool isSeeking() const { return false; }

Q_SIGNALS:
    // Playback reached the end by itself.
    void didEnd(tetrapan::Movie* movie);
    void rateDidChange(tetrapan::Movie* movie);
    // The playing position moved (while playing, after a seek); for position displays.
    void timeDidChange(tetrapan::Movie* movie);
    // The answer to requestFrameImage.
    void frameImageReady(tetrapan::Movie* movie, const QImage& image);
};

} // namespace tetrapan
