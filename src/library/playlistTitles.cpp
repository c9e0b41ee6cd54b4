#include "library/playlistTitles.h"

#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "platform/ObjectContext.h"

#include <QStringList>

namespace tetrapan::playlistTitles {

QString shown(QString title)
{
    if (title.size() > LongestShownTitle) {
        title.truncate(title.at(LongestShownTitle - 1).isHighSurrogate() ? LongestShownTitle - 1
                                                                         : LongestShownTitle);
        title += QChar(0x2026);
    }
    return title;
}

QString pathOf(const ObjectContext& library, ObjectId node)
{
    QStringList titles;
    for (ObjectId at = node; at != NoObject; at = library.relatedObject(at, LibrarySchema::Parent))
        titles.prepend(library.value(at, LibrarySchema::Title).toString());
    return titles.join(QLatin1Char('/'));
}

ObjectId find(const PlaylistTreeController& tree, const QString& title, QString* refusal)
{
    const ObjectContext& library = tree.managedObjectContext();
    QList<ObjectId> titled;
    QList<ObjectId> pathed;
    for (ObjectId node : tree.arrangedObjects()) {
        if (library.value(node, LibrarySchema::IsFolder).toBool())
            continue;
        if (library.value(node, LibrarySchema::Title).toString() == title)
            titled << node;
        const QString path = pathOf(library, node);
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
            paths << pathOf(library, node);
        *refusal = QStringLiteral("Several playlists are titled \"%1\"; name one with its folders: %2.")
                       .arg(title, paths.join(QStringLiteral(", ")));
    }
    return NoObject;
}

} // namespace tetrapan::playlistTitles
