#include "shell/MediaControls.h"

#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "library/PlaylistTreeController.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneTimeline.h"
#include "panes/PlaybackSpeed.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/PlaylistOutlineView.h"
#include "shell/MainWindow.h"
#include "shell/MediaPlayer2Adaptor.h"
#include "shell/MediaPlayer2PlayerAdaptor.h"
#include "shell/MovieFilesOpener.h"
#include "shell/commandLine.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>

#include <cmath>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>

namespace tetrapan {

namespace {

Q_LOGGING_CATEGORY(lcMediaControls, "tetrapan.shell.mediacontrols", QtWarningMsg)

constexpr double MicrosecondsPerSecond = 1e6;

qint64 microseconds(const MovieTime& time)
{
    return qRound64(time.seconds() * MicrosecondsPerSecond);
}

} // namespace

const QString MediaControls::ServiceName = QStringLiteral("org.mpris.MediaPlayer2.tetrapan");
const QString MediaControls::ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString MediaControls::PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString MediaControls::NoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

MediaControls::MediaControls(MovController& panes, PaneTimeline& timeline, PlaylistOutlineView& playlists,
                             MainWindow& window, MovieFilesOpener& opener, SettingsDomain& settings,
                             QObject* parent)
    : QObject(parent), panes_(panes), timeline_(timeline), playlists_(playlists), window_(window),
      opener_(opener), settings_(settings)
{
    // a panel works the position out from the rate: a jump made in the program is told too
    connect(&timeline_, &PaneTimeline::changed, this, &MediaControls::leaderMayHaveJumped);
}

MediaControls::~MediaControls()
{
    if (!offeredName_.isEmpty()) {
        bus_.unregisterService(offeredName_);
        bus_.unregisterObject(ObjectPath);
    }
}

bool MediaControls::offerOn(const QDBusConnection& bus)
{
    if (!bus.isConnected()) {
        qCDebug(lcMediaControls) << "no session bus: no media controls";
        return false;
    }
    new MediaPlayer2Adaptor(this);
    new MediaPlayer2PlayerAdaptor(this);
    bus_ = bus;
    if (!bus_.registerObject(ObjectPath, this)) {
        qCDebug(lcMediaControls) << "media controls not offered:" << bus_.lastError().message();
        return false;
    }
    // a second Tetrapan (on a library of its own) is told apart by its process, as the interface asks
    const QString perProcess =
        QStringLiteral("%1.instance%2").arg(ServiceName).arg(QCoreApplication::applicationPid());
    for (const QString& name : {ServiceName, perProcess}) {
        if (bus_.registerService(name)) {
            offeredName_ = name;
            break;
        }
    }
    if (offeredName_.isEmpty()) {
        qCDebug(lcMediaControls) << "media controls not offered:" << bus_.lastError().message();
        bus_.unregisterObject(ObjectPath);
        return false;
    }
    connect(this, &MediaControls::playerPropertiesChanged, this, [this](const QVariantMap& changed) {
        QDBusMessage signal =
            QDBusMessage::createSignal(ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                       QStringLiteral("PropertiesChanged"));
        signal << PlayerInterface << changed << QStringList();
        bus_.send(signal);
    });
    told_ = playerProperties();
    return true;
}

// State

qint64 MediaControls::length() const
{
    const Movie* leader = timeline_.leaderMovie();
    return leader && leader->duration().isValid() ? microseconds(leader->duration()) : 0;
}

QVariantMap MediaControls::playerProperties() const
{
    return {
        {QStringLiteral("PlaybackStatus"), playbackStatus()},
        {QStringLiteral("Metadata"), metadata()},
        {QStringLiteral("Volume"), volume()},
        {QStringLiteral("Rate"), rate()},
        {QStringLiteral("MinimumRate"), minimumRate()},
        {QStringLiteral("MaximumRate"), maximumRate()},
        {QStringLiteral("CanGoNext"), canGoNext()},
        {QStringLiteral("CanGoPrevious"), canGoPrevious()},
        {QStringLiteral("CanPlay"), canPlay()},
        {QStringLiteral("CanPause"), canPlay()},
        {QStringLiteral("CanSeek"), canSeek()},
    };
}

QString MediaControls::playbackStatus() const
{
    if (panes_.anyMovieIsPlaying())
        return QStringLiteral("Playing");
    return panes_.anyMovieIsPlayable() ? QStringLiteral("Paused") : QStringLiteral("Stopped");
}

QString MediaControls::trackId() const
{
    const QString uniqueId = panes_.uniqueId();
    if (uniqueId.isEmpty())
        return NoTrack;
    // a path's element takes letters, digits and "_" only; an identifier with others is spelled in hex
    static const QRegularExpression pathElement(QStringLiteral("^[A-Za-z0-9_]+$"));
    const QString element = pathElement.match(uniqueId).hasMatch()
                                ? uniqueId
                                : QStringLiteral("x") + QString::fromLatin1(uniqueId.toUtf8().toHex());
    return QStringLiteral("/org/tetrapan/playlist/") + element;
}

QVariantMap MediaControls::metadata() const
{
    QVariantMap data{{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId()))}};
    if (panes_.uniqueId().isEmpty())
        return data;
    data.insert(QStringLiteral("xesam:title"), chosenFolderTitle().value_or(panes_.shownTitle()));
    if (canSeek())
        data.insert(QStringLiteral("mpris:length"), length());
    return data;
}

std::optional<QString> MediaControls::chosenFolderTitle() const
{
    // a folder chosen has no track to play, but the panel would show nothing at all; it is named as one
    const PlaylistTreeController* tree = playlists_.playlistTreeController;
    const ObjectId node = tree ? tree->selectedObjects().value(0, NoObject) : NoObject;
    if (node == NoObject)
        return std::nullopt;
    const ObjectContext& context = tree->managedObjectContext();
    if (!context.value(node, LibrarySchema::IsFolder).toBool() ||
        context.value(node, LibrarySchema::UniqueId).toString() != panes_.uniqueId())
        return std::nullopt;
    // the shown title is "[ title ]", already cut to what a panel can take
    const QString shown = panes_.shownTitle();
    const QString title = shown.size() >= 4 ? shown.mid(2, shown.size() - 4) : QString();
    return QStringLiteral("[ Folder ] %1").arg(title);
}

qint64 MediaControls::position() const
{
    const Movie* leader = timeline_.leaderMovie();
    return leader ? microseconds(leader->currentTime()) : 0;
}

double MediaControls::volume() const
{
    return userDefaultsExtension::defaultFloatValue(settings_, QLatin1String(QTMovieSubView::OptPlayVolume));
}

void MediaControls::setVolume(double volume)
{
    // not a number is no volume at all: refused, where too loud or too quiet is taken to the nearest end
    if (std::isnan(volume))
        return;
    userDefaultsExtension::setDefaultFloatValue(settings_, float(std::clamp(volume, 0.0, 1.0)),
                                                QLatin1String(QTMovieSubView::OptPlayVolume));
}

double MediaControls::rate() const
{
    return PlaybackSpeed::storedSpeed(settings_) * leaderRate();
}

double MediaControls::minimumRate() const
{
    return PlaybackSpeed::Steps.front() * leaderRate();
}

double MediaControls::maximumRate() const
{
    return PlaybackSpeed::Steps.back() * leaderRate();
}

void MediaControls::setRate(double rate)
{
    if (std::isnan(rate))
        return;
    if (rate <= 0.0) {
        pause();
        return;
    }
    // the panes take the speed stored; a rate past the fastest (infinity too) is the fastest
    const double speed = std::min(rate / leaderRate(), PlaybackSpeed::Steps.back());
    userDefaultsExtension::setDefaultFloatValue(settings_, float(PlaybackSpeed::nearestStep(speed)),
                                                QLatin1String(PlaybackSpeed::OptPlaySpeed));
}

double MediaControls::leaderRate() const
{
    const int leader = timeline_.leaderViewNo();
    return leader >= 1 ? panes_.offsets().rate(leader) : 1.0;
}

bool MediaControls::canGoNext() const
{
    return playlists_.adjacentPlaylist(1) != NoObject;
}

bool MediaControls::canGoPrevious() const
{
    return playlists_.adjacentPlaylist(0) != NoObject;
}

bool MediaControls::canPlay() const
{
    return panes_.anyMovieIsPlayable();
}

bool MediaControls::canSeek() const
{
    const Movie* leader = timeline_.leaderMovie();
    return leader && leader->duration().isValid();
}

void MediaControls::stateMayHaveChanged()
{
    // one comparison for the many refreshes a load or a start of four panes sends
    if (comparisonPosted_)
        return;
    comparisonPosted_ = true;
    QMetaObject::invokeMethod(this, &MediaControls::compareProperties, Qt::QueuedConnection);
}

void MediaControls::compareProperties()
{
    comparisonPosted_ = false;
    const QVariantMap now = playerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (told_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    told_ = now;
    if (!changed.isEmpty())
        Q_EMIT playerPropertiesChanged(changed);
}

// Commands

void MediaControls::playPause()
{
    panes_.changeAllMoviePlay();
}

void MediaControls::play()
{
    panes_.cancelPendingResumes();
    // a playlist loading starts its panes once its files are in
    if (panes_.isLoading())
        panes_.playWhenLoaded();
    else
        panes_.setAllMoviePlay(true);
}

void MediaControls::pause()
{
    panes_.cancelPendingResumes();
    panes_.setAllMoviePlay(false);
}

void MediaControls::next()
{
    playlists_.selectAdjacentPlaylist(1);
}

void MediaControls::previous()
{
    playlists_.selectAdjacentPlaylist(0);
}

void MediaControls::seek(qint64 offset)
{
    if (!canSeek())
        return;
    // no further than the whole length either way, so that the sum cannot overflow
    const qint64 step = std::clamp(offset, -length(), length());
    moveLeaderTo(std::clamp(position() + step, qint64(0), length()));
}

void MediaControls::setPosition(const QString& trackId, qint64 position)
{
    if (trackId == this->trackId() && canSeek() && position >= 0 && position <= length())
        moveLeaderTo(position);
}

void MediaControls::moveLeaderTo(qint64 position)
{
    timeline_.jumpTo(double(position) / MicrosecondsPerSecond);
    tellSeek();
}

void MediaControls::leaderMayHaveJumped()
{
    const Movie* leader = timeline_.leaderMovie();
    if (!leader || !leader->isSeeking()) {
        toldSeek_.reset();
        return;
    }
    tellSeek();
}

void MediaControls::tellSeek()
{
    const qint64 at = position();
    if (toldSeek_ == at)
        return;
    toldSeek_ = at;
    Q_EMIT seeked(at);
}

bool MediaControls::openUri(const QString& uri)
{
    const QString path = commandLine::localPath(uri, QDir::rootPath());
    if (path.isEmpty())
        return false;
    opener_.openFiles({path});
    return true;
}

void MediaControls::raise()
{
    window_.orderFront();
}

void MediaControls::quit()
{
    QMetaObject::invokeMethod(
        this, [this] { window_.quitAction()->trigger(); }, Qt::QueuedConnection);
}

} // namespace tetrapan
