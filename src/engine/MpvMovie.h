#pragma once

#include "engine/MpvCore.h"
#include "engine/MpvPlaybackSpeed.h"
#include "engine/MpvPositionReports.h"
#include "library/Movie.h"

#include <QPointF>
#include <QSize>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

struct mpv_event;

namespace tetrapan {

// One movie on its own mpv core. It is opened on a worker (MpvMovieOpener) and then lives on the GUI thread,
// where all calls happen; mpv's wakeup callback only queues a drain of the event queue there. Commands go to
// mpv without waiting for it: while the core reconfigures the video output it waits for the GUI thread to
// render a frame, and a GUI thread waiting for the core would stall both until mpv gives up after 200 ms.
class MpvMovie final : public Movie {
    Q_OBJECT
public:
    struct Options : MpvCoreOptions {
        std::chrono::milliseconds openTimeout{10000};
    };

    // From now on mpv's events reach the movie on its thread's event loop.
    void hearEvents();

    ~MpvMovie() override;

    QString filePath() const override { return filePath_; }
    const Recording* recording() const override { return recording_ ? &*recording_ : nullptr; }
    QString displayName() const override;

    void gotoBeginning() override;
    void gotoEnd() override;
    void play() override;
    void stop() override;
    float rate() const override { return paused_ ? 0.0f : 1.0f; }

    MovieTime currentTime() const override;
    void setCurrentTime(const MovieTime& time) override;
    // To the nearest key frame: no frames are decoded on from there, so a drag over a long-GOP movie keeps
    // up.
    void seekFast(const MovieTime& time) override;
    MovieTime duration() const override { return MovieTime::fromSeconds(durationSeconds_); }
    double framesPerSecond() const override { return framesPerSecond_; }

    bool muted() const override { return muted_; }
    void setMuted(bool muted) override;
    float volume() const override { return volume_; }
    void setVolume(float volume) override;

    bool loops() const override { return loops_; }
    void setLoops(bool loops) override;
    bool loopsBackAndForth() const override { return loopsBackAndForth_; }
    // mpv cannot play backwards smoothly, so a back-and-forth loop is remembered but plays as no loop.
    void setLoopsBackAndForth(bool loops) override { loopsBackAndForth_ = loops; }

    void stepFrame(bool forward) override;
    void requestFrameImage() override;

    // Keeping panes in step: mpv's time-pos unrounded, and its speed (sound keeps its pitch, except while
    // nudged).
    double positionSeconds() const override;
    double clockSeconds() const override;
    double speed() const override { return playbackSpeed_.value(); }
    void setSpeed(double speed) override;
    void nudgeSpeed(double speed) override;

    // For the views that draw this movie.
    mpv_handle* handle() const { return core_->handle(); }
    MpvVideoOutput videoOutput() const { return core_->videoOutput(); }
    mpv_render_context* softwareRenderContext() const { return core_->softwareRenderContext(); }
    // Moving pictures, or a still picture (cover art) to show while the sound plays.
    bool hasPicture() const { return videoTrackId_ > 0; }
    void setKeepAspect(bool keep);
    // factor 1 and up; centre: the point of the picture (0 to 1 across and down) in the middle of the view.
    void setZoom(double factor, QPointF centre);
    // The picture's size as shown (its pixel aspect applied, turned upright); empty until mpv tells it.
    QSize pictureSize() const { return pictureSize_; }
    // An OpenGL view made a render context on this core: pictures go there from now on.
    void openGLOutputAttached();
    // How that render context is freed before the core ends (MpvRenderRelease).
    void setRenderRelease(std::shared_ptr<MpvRenderRelease> release) { core_->setRenderRelease(std::move(release)); }
    // An OpenGL view is about to free its render context. mpv then drops the video, and a file that has no
    // sound is closed with it; the next attach brings the picture (or the whole file) back where it was.
    void openGLOutputDetaching();

    bool isSeeking() const override { return seekTarget_.has_value(); }
    // The frame on show, counted from 0; -1 when unknown.
    qint64 displayedFrameNumber() const;
    // mpv's own text for one of its properties, "" when it has none; for diagnostics and tests.
    QString propertyText(const char* name) const;
    // Frames dropped so far by the decoder and the video output together.
    qint64 droppedFrameCount() const;

Q_SIGNALS:
    // The mpv core is about to go; render contexts on it must be freed now.
    void aboutToDestroyHandle(tetrapan::MpvMovie* movie);
    // pictureSize() is known, or another: a new track, a stream that changes its size.
    void pictureSizeChanged();

private:
    friend class MpvMovieOpener;
    MpvMovie(MpvCorePtr core, QString path);

    static void wakeup(void* context);
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void setPausedState(bool paused);
    void setFlagAsync(const char* name, bool value);
    // Has mpv decode the sound only while it can be heard: unmuted at a volume above 0.
    void decodeSoundWhenHeard();
    void requestPause(bool pause);
    void seekToSeconds(double seconds, bool exact = true);
    // Only asks mpv; seekToSeconds also keeps the movie's own idea of where it stands.
    bool requestSeek(double seconds, bool exact = true);
    void reloadAt(double seconds);
    // Names the decoder in the debug log once mpv has chosen it, and again when it changes.
    void logDecoder();
    // The answer to requestFrameImage, from mpv's reply.
    void frameImageArrived(const mpv_event& event);

    MpvCorePtr core_;
    QString filePath_;
    // What mpv loads: the file, or a recording's timeline (MpvRecordingTimeline).
    QString source_;
    std::optional<Recording> recording_;
    // The sound track to hear; a recording's own is the last one.
    QByteArray soundTrack_ = "auto";
    qint64 lastSoundTrackId_ = 0;
    QString title_;
    double durationSeconds_ = 0.0;
    double framesPerSecond_ = 0.0;
    qint64 videoTrackId_ = 0;
    bool paused_ = true;
    bool eofReached_ = false;
    // Set by reaching or seeking to the end, cleared by seeking elsewhere: mpv's own position stays a frame
    // short of the duration there, or runs a frame past it.
    bool atEnd_ = false;
    // Stopped at the very beginning (a freshly opened movie): a seek there would only wait for mpv's core.
    bool standsAtStart_ = true;
    bool muted_ = false;
    float volume_ = 1.0f;
    // Whether mpv is decoding the file's sound: it does when the file opens.
    bool decodesSound_ = true;
    bool loops_ = false;
    bool loopsBackAndForth_ = false;
    std::optional<double> seekTarget_;
    // Seeks mpv has not taken yet: a playback restart heard before it takes them all belongs to an earlier
    // seek or the load, and lands none of them.
    int seeksNotTaken_ = 0;
    int pendingPauseRequests_ = 0;
    // OpenGL output: mpv draws into a view's render context (it starts with none).
    bool openGLOutputOn_ = false;
    // The view's render context went away and no new one came yet.
    bool openGLOutputLost_ = false;
    // Where the movie stood when its output last went away. mpv may report that it gave the file up for
    // that only after the output is back, so this is kept until the file is loaded again.
    std::optional<double> lostOutputAt_;
    // mpv closed the file when its video output went away and nothing else was left to play.
    bool closedWithOutput_ = false;
    std::atomic<bool> drainQueued_{false};

    // A forward step plays one frame and pauses again; mpv reports both, but the movie stays stopped.
    bool steppingFrame_ = false;
    // A still picture (cover art) has no next frame: mpv would play on, waiting for one.
    bool picturesMove_ = false;
    QString decoder_;
    QString hwdec_;
    QString loggedDecoder_;
    MpvPlaybackSpeed playbackSpeed_;
    MpvPositionReports reports_;
    QSize pictureSize_;
};

} // namespace tetrapan
