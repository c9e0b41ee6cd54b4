#pragma once

#include <QString>

class QDateTime;
class QFile;

namespace tetrapan {

// What the program's own files (the library, the settings) are read through: only regular files are opened,
// since opening a FIFO waits for a writer that never comes and would hang the program before any window
// shows, and a device or a folder is no file of ours; and a file that cannot be used is kept aside under a
// name of its own, never over one kept before.
namespace safeFiles {

enum class Opening { Opened, Missing, Refused };

// Opens `path` for reading when it is a regular file. Missing when nothing is there (nor at a symbolic
// link's end); Refused, with the reason, for anything else that cannot be read, or that is not a regular
// file ("it is not a regular file but a FIFO").
Opening openForReading(QFile& file, const QString& path, QString* reason);

// Why the thing at `path` is no regular file ("it is not a regular file but a FIFO"), following symbolic
// links; empty for a regular file or when nothing is there.
QString notRegularFile(const QString& path);

// Renames `filePath` to "<file>.damaged-<yyyyMMdd-HHmmss>" ("-2", "-3", ... when the name is taken) and
// returns the new path; empty when it could not be moved, with the reason ("could not be kept as <name>
// (<why>)").
QString setAside(const QString& filePath, const QDateTime& now, QString* reason);

} // namespace safeFiles
} // namespace tetrapan
