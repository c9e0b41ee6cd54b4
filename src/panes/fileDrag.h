#pragma once

#include <QString>
#include <QStringList>

class QDropEvent;
class QMimeData;

namespace tetrapan {

// Movie files dragged between Tetrapan and the desktop's file managers, which carry them as a list of
// URLs ("text/uri-list").
namespace fileDrag {

inline constexpr const char* FileNamesType = "text/uri-list";
// The form file managers paste copied files from ("copy" and one URL a line); some accept it dropped too.
inline constexpr const char* CopiedFilesType = "x-special/gnome-copied-files";

// A list of files that may be copied: a source that offers only a link, or would move its files away,
// is refused, so a user's file never moves.
bool isCopyableFileList(const QDropEvent& event);

// The local files of a dropped list, in its order; URLs of other machines are left out.
QStringList localFiles(const QMimeData& data);

// Files as a drag carries them out: the URL list, the paths as plain text, one a line (a terminal or an
// editor takes that; a name with a line break is left out of it) and the copied-files form.
QMimeData* mimeDataForFiles(const QStringList& paths);

} // namespace fileDrag
} // namespace tetrapan
