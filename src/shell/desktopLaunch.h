#pragma once

#include "shell/commandLine.h"

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

// Prints every command's name, menu text and key, one a line (tab-separated), from menus made for it
// without showing them; the keys are the user's. Returns the exit status.
int printActions();

// Takes the library for this program, or hands the request over to the program that has it. Answers the exit
// status when this program is to end: 0 handed over, 1 refused (the user was told why), 2 the program
// refused the command (the reason is printed).
std::optional<int> startOrHandOver(SingleInstance& instance, const commandLine::Request& request);

// Once the windows are up: the playlist and the files of the command line and of later launches go into
// the panes, a later launch brings the main window forward, and commands asked for by name are carried
// out, this program's own once the playlist it starts with is loaded.
void openFiles(MainNib& nib, SingleInstance& instance, const commandLine::Request& request);

} // namespace desktopLaunch
} // namespace tetrapan
