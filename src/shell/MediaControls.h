#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace tetrapan {

class MainWindow;
class MovController;
class MovieFilesOpener;
class PaneTimeline;
class PlaylistOutlineView;
class SettingsDomain;

// What the desktop's media controls (panels, lock screens, headset buttons, playerctl) see of the panes and
// do to them, through the media player interfaces of the session bus (MPRIS 2: MediaPlayer2Adaptor,
// MediaPlayer2PlayerAdaptor). The panes play and stop together as Space has them do; a "track" is the
// chosen playlist, next and previous go to the playlist before or after it in the tree's order, past the
// folders (which the palette's buttons stop on, to open them), and a position is the leader's (the first
// playable pane, PaneOffsets), which the other panes follow with their offsets as after a skip.
// Times are in microseconds, as the interface counts them.
class MediaControls final : public QObject {
    Q_OBJECT
public:
    static const QString ServiceName;
    static const QString ObjectPath;
    static const QString PlayerInterface;
    // the track id of no playlist, as the interface names it
    static const QString NoTrack;

    MediaControls(MovController& panes, PaneTimeline& timeline, PlaylistOutlineView& playlists,
                  MainWindow& window, MovieFilesOpener& opener, SettingsDomain& settings,
                  QObject* parent = nullptr);
    ~MediaControls() override;

    // Offers the interfaces on the bus. With no bus, or none that takes the name, there are no media
    // controls and the program runs as without them.
    bool offerOn(const QDBusConnection& bus);

    // The player's properties that change, by their names on the bus: PlaybackStatus, Metadata, Volume
    // and the Can... of the commands.
    QVariantMap playerProperties() const;
    QString playbackStatus() const;
    QVariantMap metadata() const;
    QString trackId() const;
    qint64 position() const;
    double volume() const;
    void setVolume(double volume);
    // How fast the leader's position runs against the clock: the chosen speed (Playback > Faster, Slower)
    // times the leader's rate (PaneOffsets), between the slowest and the fastest speed.
    double rate() const;
    double minimumRate() const;
    double maximumRate() const;
    // The speed nearest to the rate asked, for the leader; 0 pauses, as the interface asks. Not a number is
    // refused.
    void setRate(double rate);
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canSeek() const;

    void playPause();
    void play();
    void pause();
    void next();
    void previous();
    void seek(qint64 offset);
    // Nothing when the track is no longer the chosen playlist or the position lies outside the leader's
    // movie.
    void setPosition(const QString& trackId, qint64 position);
    // False, opening nothing, for a URI that names no file on this machine or is malformed.
    bool openUri(const QString& uri);
    void raise();
    // As Ctrl+Q, so an unsaved library is asked about; after the bus call has its answer.
    void quit();

    // The panes, the playlists or the settings changed: the properties are compared once the change is
    // over, and those that differ are told.
    void stateMayHaveChanged();

Q_SIGNALS:
    void playerPropertiesChanged(const QVariantMap& changed);
    // The panes jumped to the position (not by playing): by these controls, or in the program (a skip, a
    // click on the time line, the A-B loop's return, a sync), each seek of the leader told once.
    void seeked(qint64 position);

private:
    void compareProperties();
    qint64 length() const;
    double leaderRate() const;
    // The chosen folder's title as the panel shows it; nothing when a playlist, or nothing, is chosen.
    std::optional<QString> chosenFolderTitle() const;
    void moveLeaderTo(qint64 position);
    void leaderMayHaveJumped();
    void tellSeek();

    MovController& panes_;
    PaneTimeline& timeline_;
    PlaylistOutlineView& playlists_;
    MainWindow& window_;
    MovieFilesOpener& opener_;
    SettingsDomain& settings_;
    QDBusConnection bus_{QString()};
    QString offeredName_;
    bool comparisonPosted_ = false;
    QVariantMap told_;
    // The position last told as a seek, while the leader's seek is under way.
    std::optional<qint64> toldSeek_;
};

} // namespace tetrapan
