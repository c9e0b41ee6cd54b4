#pragma once

#include "platform/ObjectModel.h"

#include <QString>

namespace tetrapan {

class ObjectContext;
class PlaylistTreeController;

// Playlists named as people name them on a command line: by title, or by the titles of their folders and
// their own joined by "/" where titles repeat.
namespace playlistTitles {

// The node's folders' titles and its own, joined by "/".
QString pathOf(const ObjectContext& library, ObjectId node);
// The playlist with that title, or whose path ends so; NoObject with why in *refusal when none or several
// have it.
ObjectId find(const PlaylistTreeController& tree, const QString& title, QString* refusal);

} // namespace playlistTitles
} // namespace tetrapan
