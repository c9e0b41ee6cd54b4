#include "shell/MediaPlayer2Adaptor.h"

#include "shell/MediaControls.h"
#include "shell/MovieFilesOpener.h"
#include "shell/SingleInstance.h"

namespace tetrapan {

MediaPlayer2Adaptor::MediaPlayer2Adaptor(MediaControls* controls)
    : QDBusAbstractAdaptor(controls), controls_(controls)
{
}

QString MediaPlayer2Adaptor::identity() const
{
    return QStringLiteral("Tetrapan");
}

QString MediaPlayer2Adaptor::desktopEntry() const
{
    return SingleInstance::serviceName();
}

QStringList MediaPlayer2Adaptor::supportedUriSchemes() const
{
    return {QStringLiteral("file")};
}

QStringList MediaPlayer2Adaptor::supportedMimeTypes() const
{
    return MovieFilesOpener::movieMimeTypes();
}

void MediaPlayer2Adaptor::Raise()
{
    controls_->raise();
}

void MediaPlayer2Adaptor::Quit()
{
    controls_->quit();
}

} // namespace tetrapan
