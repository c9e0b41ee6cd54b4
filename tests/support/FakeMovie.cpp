#include "FakeMovie.h"

#include <QFileInfo>

namespace tetrapan::test {

FakeMovie::FakeMovie(QString path, MovieTime duration, QString title, QObject* parent)
    : Movie(parent), path_(std::move(path)), title_(std::move(title)), duration_(duration),
      current_(MovieTime::zero(duration.scale))
{
}

QString FakeMovie::displayName() const
{
    return title_.isEmpty() ? QFileInfo(path_).fileName() : title_;
}

void FakeMovie::reachEnd()
{
    current_ = duration_;
    setRate(0.0f);
    Q_EMIT didEnd(this);
}

void FakeMovie::gotoBeginning()
{
    commands << QStringLiteral("gotoBeginning");
    current_ = MovieTime::zero(duration_.scale);
    Q_EMIT timeDidChange(this);
}

void FakeMovie::gotoEnd()
{
    commands << QStringLiteral("gotoEnd");
    current_ = duration_;
    Q_EMIT timeDidChange(this);
}

void FakeMovie::play()
{
    commands << QStringLiteral("play");
    if (current_ >= duration_)
        current_ = MovieTime::zero(duration_.scale);
    setRate(1.0f);
}

void FakeMovie::stop()
{
    commands << QStringLiteral("stop");
    setRate(0.0f);
}

void FakeMovie::setCurrentTime(const MovieTime& time)
{
    commands << QStringLiteral("setCurrentTime %1/%2").arg(time.value).arg(time.scale);
    if (!time.isValid())
        return;
    if (time > duration_)
        current_ = duration_;
    else if (time < MovieTime::zero(time.scale))
        current_ = MovieTime::zero(time.scale);
    else
        current_ = time;
    seeking = seeking || seeksSlowly;
    Q_EMIT timeDidChange(this);
}

void FakeMovie::setMuted(bool muted)
{
    commands << QStringLiteral("setMuted %1").arg(muted ? 1 : 0);
    muted_ = muted;
}

void FakeMovie::setVolume(float volume)
{
    commands << QStringLiteral("setVolume %1").arg(volume);
    volume_ = volume;
}

void FakeMovie::setLoops(bool loops)
{
    commands << QStringLiteral("setLoops %1").arg(loops ? 1 : 0);
    loops_ = loops;
}

void FakeMovie::setLoopsBackAndForth(bool loops)
{
    commands << QStringLiteral("setLoopsBackAndForth %1").arg(loops ? 1 : 0);
    loopsBackAndForth_ = loops;
}

void FakeMovie::stepFrame(bool forward)
{
    commands << QStringLiteral("stepFrame %1").arg(forward ? 1 : 0);
    setRate(0.0f);
    const MovieTime step =
        MovieTime::fromSeconds(current_.seconds() + (forward ? 0.04 : -0.04), duration_.scale);
    current_ = step > duration_                          ? duration_
               : step < MovieTime::zero(duration_.scale) ? MovieTime::zero(duration_.scale)
                                                         : step;
    Q_EMIT timeDidChange(this);
}

void FakeMovie::requestFrameImage()
{
    commands << QStringLiteral("requestFrameImage");
    if (answersFrameImage)
        Q_EMIT frameImageReady(this, frameImage);
}

void FakeMovie::setSpeed(double speed)
{
    commands << QStringLiteral("setSpeed %1").arg(speed);
    speed_ = speed;
}

void FakeMovie::nudgeSpeed(double speed)
{
    commands << QStringLiteral("nudgeSpeed %1").arg(speed);
    speed_ = speed;
}

void FakeMovie::setRate(float rate)
{
    if (rate == rate_)
        return;
    rate_ = rate;
    Q_EMIT rateDidChange(this);
}

} // namespace tetrapan::test
