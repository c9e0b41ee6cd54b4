#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace tetrapan {

// What Tetrapan is asked on its command line: `tetrapan [FILE...]`, as the desktop entry starts it with
// the files chosen in a file manager (paths, or file:// URIs from some launchers).
namespace commandLine {

// Whether the arguments ask for --help or --version, which are answered on the terminal, also where there
// is no display to open windows on.
bool asksForTextOnly(int argc, const char* const* argv);

// The movie files named on the command line, as absolute local paths in the order given; "" for an argument
// that names no local file (a remote URI), so that its place in the order is kept and refused. Answers
// --help and --version, and rejects unknown options, by ending the process as command-line programs do.
// argv: the application's, once Qt took its own options out, so that a name that is not UTF-8 is kept.
QStringList parse(const QCoreApplication& app, const char* const* argv);

// The arguments as parse reads them: Qt's (decoded), each replaced by its bytes in argv (fileNames), which
// Qt keeps entry for entry once it has taken its own options out of both.
QStringList arguments(QStringList decoded, const char* const* argv);

// One argument as a local path: a file:// URI decoded, a relative path taken from the working folder; "" for
// any other URI.
QString localPath(const QString& argument, const QString& workingFolder);

} // namespace commandLine
} // namespace tetrapan
