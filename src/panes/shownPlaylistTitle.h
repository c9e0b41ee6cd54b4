#pragma once

#include <QString>

namespace tetrapan {

class TBArrayController;

// What the windows call a playlist: its title, "[ title ]" for a folder, cut to a length a title bar can
// take (playlistTitles::shown).
namespace shownPlaylistTitle {

// Null when no node has the identifier, or the identifier is "".
QString of(const TBArrayController* library, const QString& uniqueId);

} // namespace shownPlaylistTitle
} // namespace tetrapan
