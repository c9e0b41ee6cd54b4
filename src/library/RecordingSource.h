#pragma once

#include "library/Recording.h"
#include "platform/ObjectModel.h"

#include <QString>

#include <optional>

namespace tetrapan {

class ObjectContext;

// What a pane is handed to open an entry, in one text: a movie file's path, a recording's folder as a plain
// path (a folder is never a movie), or, for one camera of a camera folder or a chosen list of files, a text
// "recording:folder=…&camera=…&file=…" that names them. Every path the panes pass on carries a recording so.
namespace RecordingSource {

// A recording's source (its folder, camera or chosen files) as a pane is handed it.
QString locator(const Recording& source);
// The recording a text names, its files not listed yet; nothing for a movie file's path. A plain path names
// a recording when it is a folder on disk now.
std::optional<Recording> fromLocator(const QString& locator);
// The same from the text alone: nothing for any plain path, the disk is not asked.
std::optional<Recording> parsedLocator(const QString& locator);
// The recording of all the files of a folder.
Recording ofFolder(const QString& folder);
// How a text is shown to the user: a path as it is, a camera as "<folder> (camera <name>)", a chosen list as
// its folder with the number of files.
QString shownName(const QString& locator);

// The text for a library entry: its file path, or its recording's source when it keeps a camera or a list.
QString ofEntry(const ObjectContext& context, ObjectId entry);
// What an entry keeps of the source a text names: its file path, and its camera and chosen files (absent
// for a movie file or a whole folder).
struct EntryFields {
    QString filePath;
    QString camera;
    QString recordingFiles; // one path a line, one holding a line break percent-encoded
};
EntryFields entryFields(const QString& locator);

} // namespace RecordingSource
} // namespace tetrapan
