#include "shell/CommandRequests.h"

#include "library/PlaylistTreeController.h"
#include "library/playlistTitles.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/Scheduler.h"
#include "playlist/PlaylistOutlineView.h"
#include "shell/CommandRegistry.h"
#include "shell/MovieFilesOpener.h"
#include "shell/SingleInstance.h"

#include <memory>
#include <utility>

namespace tetrapan {

static_assert(CommandRequests::LongestWait < SingleInstance::HandOverTimeout);

CommandRequests::CommandRequests(CommandRegistry& commands, MovController& panes,
                                 PlaylistOutlineView& playlists, const MovieFilesOpener& files,
                                 Scheduler& scheduler, QObject* parent)
    : QObject(parent), commands_(commands), panes_(panes), playlists_(playlists), files_(files),
      scheduler_(scheduler)
{
}

CommandRequests::~CommandRequests()
{
    for (const Scheduler::TaskId task : std::as_const(waiting_))
        scheduler_.cancel(task);
}

ObjectId CommandRequests::playlistTitled(const QString& title, QString* refusal) const
{
    const PlaylistTreeController* tree = playlists_.playlistTreeController;
    return tree ? playlistTitles::find(*tree, title, refusal) : NoObject;
}

bool CommandRequests::anyPaneOpening() const
{
    for (int viewNo = 1; viewNo <= MovController::PaneCount; ++viewNo) {
        const QTMovieSubView* pane = panes_.qtView(viewNo);
        if (pane && pane->isOpening())
            return true;
    }
    return false;
}

void CommandRequests::whenLoaded(const std::function<void()>& then)
{
    if (!panes_.hasPendingLoad() && !panes_.isLoading()) {
        // files waiting for their panes, or a file opened into one pane, end with no signal of the
        // coordinator's
        if (!files_.hasPendingFiles() && !anyPaneOpening()) {
            then();
            return;
        }
        auto task = std::make_shared<Scheduler::TaskId>();
        *task = scheduler_.scheduleAfter(OpeningCheckInterval, [this, then, task] {
            waiting_.remove(*task);
            whenLoaded(then);
        });
        waiting_.insert(*task);
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(&panes_, &MovController::allMovieViewsChanged, this, [this, connection, then] {
        disconnect(*connection);
        // another load may have been asked for meanwhile
        whenLoaded(then);
    });
}

void CommandRequests::handleWithFiles(const commandLine::Request& request,
                                      const std::function<void(const QStringList&)>& open,
                                      const Answer& answer)
{
    if (!request.playlist.isEmpty()) {
        commandLine::Request playlist;
        playlist.playlist = request.playlist;
        QString refusal;
        handle(playlist, [&refusal](const QString& said) { refusal = said; });
        if (!refusal.isEmpty())
            return answer(refusal);
    }
    if (!request.files.isEmpty())
        open(request.files);
    if (request.action.isEmpty())
        return answer(QString());
    commandLine::Request command = request;
    command.playlist.clear();
    command.files.clear();
    handle(command, answer);
}

void CommandRequests::handle(const commandLine::Request& request, const Answer& answer)
{
    if (!request.playlist.isEmpty()) {
        QString refusal;
        const ObjectId playlist = playlistTitled(request.playlist, &refusal);
        if (playlist == NoObject) {
            answer(refusal);
            return;
        }
        playlists_.choose(playlist);
    }
    if (request.action.isEmpty()) {
        answer(request.playlist.isEmpty() ? QStringLiteral("No command is named.") : QString());
        return;
    }
    // one answer: carried out, or refused for having waited too long, whichever comes first
    auto answered = std::make_shared<bool>(false);
    auto giveUp = std::make_shared<Scheduler::TaskId>();
    *giveUp = scheduler_.scheduleAfter(LongestWait, [this, answered, giveUp, answer] {
        waiting_.remove(*giveUp);
        *answered = true;
        answer(QStringLiteral("The panes were still opening files; the command was not carried out."));
    });
    waiting_.insert(*giveUp);
    whenLoaded([this, request, answer, answered, giveUp] {
        if (std::exchange(*answered, true))
            return;
        scheduler_.cancel(*giveUp);
        waiting_.remove(*giveUp);
        answer(commands_.run(request.action, request.viewNo));
    });
}

} // namespace tetrapan
