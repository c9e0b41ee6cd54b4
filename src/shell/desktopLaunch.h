#pragma once

#include <QStringList>

#include <optional>

namespace tetrapan {

class MainNib;
class SingleInstance;

// How Tetrapan starts as a desktop program: its names for the desktop, the answers it gives on the
// terminal, the one program per library, and the files it was started with.
namespace desktopLaunch {

// The application's name, version and desktop file (which ties its windows to its menu entry and icon).
void describeApplication();

// Prints the answer to --help or --version and returns the exit status.
int answerOnTerminal(int argc, char** argv);

// Takes the library for this program, or hands the files over to the program that has it. Answers the exit
// status when this program is to end: 0 handed over, 1 refused (the user was told why).
std::optional<int> startOrHandOver(SingleInstance& instance, const QStringList& files);

// Once the windows are up: the files of the command line and of later launches go into the panes, and a
// later launch brings the main window forward.
void openFiles(MainNib& nib, SingleInstance& instance, const QStringList& files);

} // namespace desktopLaunch
} // namespace tetrapan
