#pragma once

#include "export/ExportJob.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class QCoreApplication;

namespace tetrapan {

// What Tetrapan is asked on its command line: `tetrapan [FILE...]`, as the desktop entry starts it with
// the files chosen in a file manager (paths, or file:// URIs from some launchers); a command by its name
// (`--action NAME [--pane N]`), the playlist to choose (`--playlist TITLE`), or the list of commands
// (`--list-actions`); or an export of a playlist without a window (`--export OUT`).
namespace commandLine {

// `--export OUT [--size WxH] [--range FROM-TO] [--sound PANE|mix|none] [--labels]`: the export dialog's
// defaults where an option is not given, the format from OUT's extension.
struct ExportRequest {
    QString outputPath; // absolute
    ExportChoices choices;
    // On the time line, as the leading pane's times in milliseconds; none: the leader's whole movie.
    std::optional<std::pair<qint64, qint64>> rangeMs;
};

struct Request {
    QStringList files;
    bool listActions = false;
    QString action;
    int viewNo = 0; // --pane, 0 when not given
    QString playlist;
    std::optional<ExportRequest> exporting;
};

// Whether the arguments ask for the list of commands, which needs no display.
bool asksForActionList(int argc, const char* const* argv);

// Whether the arguments ask for an export, which is made without a window, or give its options.
bool asksForExport(int argc, const char* const* argv);

// Whether the arguments ask for --help or --version, which are answered on the terminal, also where there
// is no display to open windows on.
bool asksForTextOnly(int argc, const char* const* argv);

// The request; its files are the movie files named, as absolute local paths in the order given; "" for an
// argument that names no local file (a remote URI), so that its place in the order is kept and refused.
// Answers --help and --version, and rejects unknown options and a pane number that is none, by ending the
// process as command-line programs do.
// argv: the application's, once Qt took its own options out, so that a name that is not UTF-8 is kept.
Request parse(const QCoreApplication& app, const char* const* argv);
// The same for arguments given (the program's name first), without ending anything: none, with why in one
// line, for options that are unknown or hold no value they take. --help and --version are not answered.
std::optional<Request> read(const QStringList& arguments, QString* why);

// The arguments as parse reads them: Qt's (decoded), each replaced by its bytes in argv (fileNames), which
// Qt keeps entry for entry once it has taken its own options out of both.
QStringList arguments(QStringList decoded, const char* const* argv);

// One argument as a local path: a file:// URI of this machine decoded, a relative path taken from the working
// folder; "" for any other URI, one of another machine included.
QString localPath(const QString& argument, const QString& workingFolder);

} // namespace commandLine
} // namespace tetrapan
