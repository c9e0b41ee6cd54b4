#include "shell/MediaPlayer2PlayerAdaptor.h"

#include "shell/MediaControls.h"

namespace tetrapan {

MediaPlayer2PlayerAdaptor::MediaPlayer2PlayerAdaptor(MediaControls* controls)
    : QDBusAbstractAdaptor(controls), controls_(controls)
{
    connect(controls, &MediaControls::seeked, this, &MediaPlayer2PlayerAdaptor::Seeked);
}

QString MediaPlayer2PlayerAdaptor::playbackStatus() const
{
    return controls_->playbackStatus();
}

QVariantMap MediaPlayer2PlayerAdaptor::metadata() const
{
    return controls_->metadata();
}

double MediaPlayer2PlayerAdaptor::volume() const
{
    return controls_->volume();
}

double MediaPlayer2PlayerAdaptor::rate() const
{
    return controls_->rate();
}

void MediaPlayer2PlayerAdaptor::setRate(double rate)
{
    controls_->setRate(rate);
}

double MediaPlayer2PlayerAdaptor::minimumRate() const
{
    return controls_->minimumRate();
}

double MediaPlayer2PlayerAdaptor::maximumRate() const
{
    return controls_->maximumRate();
}

void MediaPlayer2PlayerAdaptor::setVolume(double volume)
{
    controls_->setVolume(volume);
}

qlonglong MediaPlayer2PlayerAdaptor::position() const
{
    return controls_->position();
}

bool MediaPlayer2PlayerAdaptor::canGoNext() const
{
    return controls_->canGoNext();
}

bool MediaPlayer2PlayerAdaptor::canGoPrevious() const
{
    return controls_->canGoPrevious();
}

bool MediaPlayer2PlayerAdaptor::canPlay() const
{
    return controls_->canPlay();
}

bool MediaPlayer2PlayerAdaptor::canSeek() const
{
    return controls_->canSeek();
}

void MediaPlayer2PlayerAdaptor::Next()
{
    controls_->next();
}

void MediaPlayer2PlayerAdaptor::Previous()
{
    controls_->previous();
}

void MediaPlayer2PlayerAdaptor::Pause()
{
    controls_->pause();
}

void MediaPlayer2PlayerAdaptor::PlayPause()
{
    controls_->playPause();
}

// the panes stop where they are, as Space stops them
void MediaPlayer2PlayerAdaptor::Stop()
{
    controls_->pause();
}

void MediaPlayer2PlayerAdaptor::Play()
{
    controls_->play();
}

void MediaPlayer2PlayerAdaptor::Seek(qlonglong Offset)
{
    controls_->seek(Offset);
}

void MediaPlayer2PlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
{
    controls_->setPosition(TrackId.path(), Position);
}

void MediaPlayer2PlayerAdaptor::OpenUri(const QString& Uri)
{
    if (!controls_->openUri(Uri) && calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("Not a file on this machine: %1").arg(Uri));
}

} // namespace tetrapan
