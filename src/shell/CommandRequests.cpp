#include "shell/CommandRequests.h"

#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/Scheduler.h"
#include "playlist/PlaylistOutlineView.h"
#include "shell/CommandRegistry.h"

#include <memory>

namespace tetrapan {

CommandRequests::CommandRequests(CommandRegistry& commands, MovController& panes,
                                 PlaylistOutlineView& playlists, Scheduler& scheduler, QObject* parent)
    : QObject(parent), commands_(commands), panes_(panes), playlists_(playlists), scheduler_(scheduler)
{
}

CommandRequests::~CommandRequests()
{
    for (const Scheduler::TaskId task : std::as_const(waiting_))
        scheduler_.cancel(task);
}

QString CommandRequests::pathOf(ObjectId node) const
{
    const ObjectContext& library = playlists_.playlistTreeController->managedObjectContext();
    QStringList titles;
    for (ObjectId at = node; at != NoObject; at = library.relatedObject(at, LibrarySchema::Parent))
        titles.prepend(library.value(at, LibrarySchema::Title).toString());
    return titles.join(QLatin1Char('/'));
}

ObjectId CommandRequests::playlistTitled(const QString& title, QString* refusal) const
{
    const PlaylistTreeController* tree = playlists_.playlistTreeController;
    if (!tree)
        return NoObject;
    const ObjectContext& library = tree->managedObjectContext();
    QList<ObjectId> titled;
    QList<ObjectId> pathed;
    for (ObjectId node : tree->arrangedObjects()) {
        if (library.value(node, LibrarySchema::IsFolder).toBool())
            continue;
        if (library.value(node, LibrarySchema::Title).toString() == title)
            titled << node;
        const QString path = pathOf(node);
        if (path == title || path.endsWith(QLatin1Char('/') + title))
            pathed << node;
    }
    // a title alone first, as most playlists are named; its folders when several share it
    const QList<ObjectId>& found = titled.size() == 1 || pathed.isEmpty() ? titled : pathed;
    if (found.size() == 1)
        return found.front();
    if (found.isEmpty()) {
        *refusal = QStringLiteral("No playlist is titled \"%1\".").arg(title);
    } else {
        QStringList paths;
        for (ObjectId node : found)
            paths << pathOf(node);
        *refusal = QStringLiteral("Several playlists are titled \"%1\"; name one with its folders: %2.")
                       .arg(title, paths.join(QStringLiteral(", ")));
    }
    return NoObject;
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
        // a file opened into one pane ends with no signal of the coordinator's
        if (!anyPaneOpening()) {
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
    whenLoaded([this, request, answer] { answer(commands_.run(request.action, request.viewNo)); });
}

} // namespace tetrapan
