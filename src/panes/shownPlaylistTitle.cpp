#include "panes/shownPlaylistTitle.h"

#include "library/LibrarySchema.h"
#include "library/TBArrayController.h"
#include "library/playlistTitles.h"
#include "platform/ObjectContext.h"
#include "platform/Predicate.h"

namespace tetrapan::shownPlaylistTitle {

QString of(const TBArrayController* library, const QString& uniqueId)
{
    // No node is looked up for "": a node without an identifier must not lend its title to no playlist.
    ObjectContext* context = library ? library->getManagedObjectContext(LibrarySchema::Playlist) : nullptr;
    if (!context || uniqueId.isEmpty())
        return QString();
    const QList<ObjectId> nodes = library->getObjectsWithPred(
        LibrarySchema::Playlist, Predicate::equals(LibrarySchema::UniqueId, uniqueId));
    if (nodes.isEmpty())
        return QString();
    // a window's title reaches the window system in one request, whose size X limits
    const QString title =
        playlistTitles::shown(context->value(nodes.front(), LibrarySchema::Title).toString());
    return context->value(nodes.front(), LibrarySchema::IsFolder).toBool()
               ? QStringLiteral("[ %1 ]").arg(title)
               : title;
}

} // namespace tetrapan::shownPlaylistTitle
