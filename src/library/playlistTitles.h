#pragma once

#include "platform/ObjectModel.h"

#include <QString>

namespace tetrapan {

class ObjectContext;
class PlaylistTreeController;

// Playlists named as people name them on a command line: by title, or by the titles of their folders and
// their own joined by "/" where titles repeat.
namespace playlistTitles {

// Characters of a title that a window shows at most: no title bar or row shows more than a line of it, and
// one of many megabytes took the tree seconds to lay out at each paint, and the window system refused it as
// a window's title.
constexpr qsizetype LongestShownTitle = 1000;
// The title cut to LongestShownTitle characters and "…", never between the two halves of a pair.
QString shown(QString title);

// The node's folders' titles and its own, joined by "/".
QString pathOf(const ObjectContext& library, ObjectId node);
// The playlist with that title, or whose path ends so; NoObject with why in *refusal when none or several
// have it.
ObjectId find(const PlaylistTreeController& tree, const QString& title, QString* refusal);

} // namespace playlistTitles
} // namespace tetrapan
