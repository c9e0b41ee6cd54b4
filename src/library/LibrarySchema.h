#pragma once

#include "platform/ObjectModel.h"

#include <QString>

namespace tetrapan {

// The two record kinds of the library and the names their attributes travel under.
namespace LibrarySchema {

inline const QString Playlist = QStringLiteral("playlist");
inline const QString Filelist = QStringLiteral("filelist");

// playlist
inline const QString UniqueId = QStringLiteral("uniqueId");
inline const QString Title = QStringLiteral("title");
inline const QString Index = QStringLiteral("index");
inline const QString IsFolder = QStringLiteral("isFolder");
inline const QString IsExpand = QStringLiteral("isExpand");
inline const QString FrameSet = QStringLiteral("frameSet");
inline const QString Parent = QStringLiteral("parent");
inline const QString Children = QStringLiteral("children");
inline const QString RltFilelist = QStringLiteral("rlt_filelist");

// filelist (uniqueId and title too)
inline const QString ItemId = QStringLiteral("itemId");
inline const QString ViewNo = QStringLiteral("viewNo");
inline const QString FilePath = QStringLiteral("filePath");
inline const QString PlayTime = QStringLiteral("playTime");
inline const QString FileSize = QStringLiteral("fileSize");
inline const QString FileDate = QStringLiteral("fileDate");
inline const QString RltPlaylist = QStringLiteral("rlt_playlist");
// How far the entry's movie leads the playlist's common time line, in milliseconds; absent means 0.
inline const QString Offset = QStringLiteral("offset");
inline const QString Position = QStringLiteral("position");
// How many seconds of the entry's movie pass in one second of the common time line; absent means 1.
inline const QString Rate = QStringLiteral("rate");
// An entry that is a recording keeps its folder as its file path; a camera of a camera folder keeps the
// camera's name, a chosen list of files keeps them, one path a line (a path that holds a line break
// percent-encoded, RecordingSource). Absent for a movie.
inline const QString Camera = QStringLiteral("camera");
inline const QString RecordingFiles = QStringLiteral("recordingFiles");
// A recording's first and last moment on the wall clock and its number of files, as last listed.
inline const QString RecordingStart = QStringLiteral("recordingStart");
inline const QString RecordingEnd = QStringLiteral("recordingEnd");
inline const QString FileCount = QStringLiteral("fileCount");

ObjectModel model();

} // namespace LibrarySchema
} // namespace tetrapan
