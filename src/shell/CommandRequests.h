#pragma once

#include "platform/Record.h"
#include "shell/commandLine.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>

namespace tetrapan {

class CommandRegistry;
class MovController;
class MovieFilesOpener;
class PlaylistOutlineView;
class Scheduler;

// What a command line or a caller on the bus asks of the program by name: the playlist to choose and the
// command to carry out. A named playlist is chosen first, and the command waits until the panes have
// loaded it (at start, the playlist the program comes back to) and the files handed over with the command are
// placed and opened, so it acts on the movies the user sees.
class CommandRequests : public QObject {
    Q_OBJECT
public:
    // Called once per request: "" when carried out, else why it was refused.
    using Answer = std::function<void(const QString& refusal)>;

    // How often a command waiting for the panes looks again whether they are done opening files.
    static constexpr std::chrono::milliseconds OpeningCheckInterval{100};
    // How long a command waits for them at most: less than a launch waits for its answer
    // (SingleInstance::HandOverTimeout), so that the caller hears why it was not carried out rather than
    // giving up on an answer while the command may still be carried out.
    static constexpr std::chrono::milliseconds LongestWait{8000};

    CommandRequests(CommandRegistry& commands, MovController& panes, PlaylistOutlineView& playlists,
                    const MovieFilesOpener& files, Scheduler& scheduler, QObject* parent = nullptr);
    ~CommandRequests() override;

    void handle(const commandLine::Request& request, const Answer& answer);
    // The whole of a command line at start, in the order a launch hands one over to the running program: the
    // playlist named (refused: nothing more is done, and no file goes into another playlist), then its
    // files, given to `open`, then the command, which waits for them.
    void handleWithFiles(const commandLine::Request& request,
                         const std::function<void(const QStringList&)>& open, const Answer& answer);

    // The playlist with that title, or whose folders' titles and its own, joined by "/", end so; NoObject
    // with why in *refusal when none or several have it.
    ObjectId playlistTitled(const QString& title, QString* refusal) const;

private:
    // Runs `then` once no load of the panes is pending or under way, no file handed over waits to be placed
    // in a pane, and no pane is opening a file.
    void whenLoaded(const std::function<void()>& then);
    bool anyPaneOpening() const;

    CommandRegistry& commands_;
    MovController& panes_;
    PlaylistOutlineView& playlists_;
    const MovieFilesOpener& files_;
    Scheduler& scheduler_;
    QSet<quint64> waiting_; // the scheduler's tasks of commands waiting for the panes
};

} // namespace tetrapan
