#pragma once

#include "platform/Scheduler.h"
#include "shell/cameraChoice.h"

#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <chrono>
#include <memory>

class QUndoCommand;

namespace tetrapan {

class DialogPresenter;
class MovController;
class PlaylistOutlineView;
class UndoStep;

// Movie files that come from outside the panes (named on the command line, handed over by a second launch,
// chosen with File > Open Movies, dropped on the playlist window's file table) go into panes 1 to 4 of the
// selected playlist in order. With no playlist selected, or a folder, they get a new playlist of their own
// (in that folder), named after the first file. More than four are refused as a whole. Files that cannot be
// opened are named together in one alert once all have answered; their panes and entries stay as they were.
// One opening is one undo step. An opening that changed panes of a playlist the user already had says so
// (playlistChanged), and undoChange takes exactly that step back; a playlist made for the files changed
// nothing the user had, and is shown chosen in the tree, so it says nothing.
//
// While the coordinator is about to load a playlist (at start, the one chosen at the last quit), the files
// wait for that load, which would otherwise come after them and load the panes again. They are placed from
// the event loop, never inside the request that brought them: placing may ask the user, and a second launch
// waiting on the bus for its answer must not wait for the user too.
class MovieFilesOpener final : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxFiles = 4;
    // The setting that keeps the folder File > Open Movies last opened from.
    static constexpr const char* OptOpenMoviesFolder = "openMoviesFolder";
    // The one File > Open Recordings… and Open Camera Folder… last chose from.
    static constexpr const char* OptOpenRecordingsFolder = "openRecordingsFolder";
    // The movie types the program opens, as its desktop entry lists them.
    static QStringList movieMimeTypes();
    static constexpr std::chrono::milliseconds PlaceDelay{0};

    MovieFilesOpener(MovController& coordinator, Scheduler& scheduler, DialogPresenter& dialogs);
    ~MovieFilesOpener() override;

    // Where playlists for files opened with none selected are made; without it the pane's alert asks for one.
    void setPlaylistTree(PlaylistOutlineView* tree) { playlistTree_ = tree; }

    // Local paths, first for pane 1; "" stands for something that is no local file and cannot be opened.
    // A folder is a recording (RecordingSource); one folder alone that holds several cameras' files opens
    // as openCameraFolder does. Of several paths, each folder of several cameras plays the one camera the
    // user chooses (cameraChoice); closing the question opens none of the paths.
    void openFiles(const QStringList& paths);
    // A new playlist named after the folder, with the first four of the cameras in panes 1 to 4.
    // found: the folder's files by camera, as the cameras were found (RecordingLister::camerasIn).
    void openCameraFolder(const QString& folder, const QMap<QString, QStringList>& found,
                          const QStringList& cameras);
    // The new playlist's title: the first file's name without its extension.
    static QString playlistTitleFor(const QStringList& paths);
    // Files wait, or open.
    bool hasPendingFiles() const;
    // Undoes the last opening that changed a playlist, while it is still the last step done.
    void undoChange();

Q_SIGNALS:
    // One request's files were placed, or refused.
    void filesOpened(const QStringList& paths);
    // An opening put files into panes of a playlist the user had: the playlist and those panes, in words.
    void playlistChanged(const QString& notice);

private:
    void schedulePlacing();
    void placePendingFiles();
    // One request; it ends in placed, at once or once its files have opened.
    // newPlaylist: the title of a playlist made for the files whatever is chosen; "" to use the chosen one.
    void placing(const QStringList& given, const QString& newPlaylist);
    void placeInPanes(const QStringList& paths, const QString& uniqueId);
    // problems: the files that could not be placed, each "<file>: <why>"; changed: "pane n now shows f";
    // leftOut: the recordings that play without some of their files, and those files.
    void placed(const QStringList& paths, const QStringList& problems, const QStringList& changed = {},
                const QStringList& leftOut = {});

    MovController& movController_;
    Scheduler& scheduler_;
    DialogPresenter& dialogs_;
    PlaylistOutlineView* playlistTree_ = nullptr;
    // What the paths given are, in their order (cameraChoice::look).
    using LookedAt = QList<cameraChoice::Looked>;
    struct Request {
        QStringList paths;
        QString newPlaylist;
        // what the paths given are, while it is looked at off the window's thread
        std::shared_ptr<QFutureWatcher<LookedAt>> looked;
    };
    static Request cameraFolderRequest(const QString& folder, const QMap<QString, QStringList>& found,
                                       const QStringList& cameras);
    // Asks for one camera of each folder of several; false when the user closed the question, or chose
    // to open the Camera Folder dialog instead.
    bool oneCameraEach(Request& request, const LookedAt& looked);
    QList<Request> pending_;
    // The request being placed: where the links given lead.
    QHash<QString, QString> resolved_;
    Scheduler::TaskId placeTask_ = Scheduler::NoTask;
    bool placing_ = false;
    std::unique_ptr<UndoStep> step_;
    // The playlist the files went into, "" for one made for them.
    QString changedTitle_;
    const QUndoCommand* changeStep_ = nullptr;
};

} // namespace tetrapan
