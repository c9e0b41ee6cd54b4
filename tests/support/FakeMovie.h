#pragma once

#include "library/Movie.h"

#include <QStringList>

#include <optional>

namespace tetrapan::test {

// A movie with no file behind it: it notes every command it is given, and a test moves its time and raises
// its notifications by hand. It keeps the engine's promises (play at the end starts again, times clamp).
class FakeMovie final : public Movie {
    Q_OBJECT
public:
    FakeMovie(QString path, MovieTime duration, QString title = {}, QObject* parent = nullptr);

    // Commands in order, as "play", "stop", "gotoBeginning", "gotoEnd", "setCurrentTime 1234/600",
    // "setMuted 1", "setVolume 0.25", "setLoops 0", "setLoopsBackAndForth 0".
    QStringList commands;

    // Test controls: no command is noted, notifications are raised as the real engine would.
    void moveTo(const MovieTime& time)
    {
        current_ = time;
        Q_EMIT timeDidChange(this);
    }
    // Playback reaches the end by itself: the rate drops to 0 and the end is announced.
    void reachEnd();

    QString filePath() const override { return path_; }
    QString displayName() const override;
    const Recording* recording() const override { return playsRecording ? &*playsRecording : nullptr; }
    // Test control: the recording the movie stands for, placed on the wall clock.
    std::optional<Recording> playsRecording;
    void gotoBeginning() override;
    void gotoEnd() override;
    void play() override;
    void stop() override;
    float rate() const override { return rate_; }
    MovieTime currentTime() const override { return current_; }
    void setCurrentTime(const MovieTime& time) override;
    MovieTime duration() const override { return duration_; }
    double framesPerSecond() const override { return framesPerSecond_; }
    void setFramesPerSecond(double rate) { framesPerSecond_ = rate; }
    bool muted() const override { return muted_; }
    void setMuted(bool muted) override;
    float volume() const override { return volume_; }
    void setVolume(float volume) override;
    bool loops() const override { return loops_; }
    void setLoops(bool loops) override;
    bool loopsBackAndForth() const override { return loopsBackAndForth_; }
    void setLoopsBackAndForth(bool loops) override;

    // A frame is a 25th of a second here. Noted as "stepFrame 1" (forward) or "stepFrame 0".
    void stepFrame(bool forward) override;
    // Noted as "requestFrameImage"; the answer is frameImage, given at once unless answersFrameImage is off.
    void requestFrameImage() override;
    QImage frameImage;
    bool answersFrameImage = true;

    // Keeping panes in step: the position is currentTime(); setSpeed is noted as "setSpeed 1.02", nudgeSpeed
    // as "nudgeSpeed 1.02".
    double speed() const override { return speed_; }
    void setSpeed(double speed) override;
    void nudgeSpeed(double speed) override;
    bool isSeeking() const override { return seeking; }
    // Test control: a seek that has not landed yet; seeksSlowly makes every seek one.
    bool seeking = false;
    bool seeksSlowly = false;

private:
    void setRate(float rate);

    QString path_;
    QString title_;
    MovieTime duration_;
    MovieTime current_;
    float rate_ = 0.0f;
    bool muted_ = false;
    float volume_ = 1.0f;
    bool loops_ = false;
    bool loopsBackAndForth_ = false;
    double speed_ = 1.0;
    double framesPerSecond_ = 0.0;
};

} // namespace tetrapan::test
