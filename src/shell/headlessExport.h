#pragma once

namespace tetrapan {

// `tetrapan --export OUT ...`: one export of a playlist of the library without a window, a display or the
// single-instance service, so it runs from a script, a timer or a terminal while another Tetrapan runs.
// The library and the settings are only read. Progress goes to standard error (a bar on a terminal, else a
// line per 5 %); SIGINT and SIGTERM cancel it, leaving no file.
namespace headlessExport {

// Makes its own application; returns the exit status: 0 written, 2 no such playlist or nothing in it to
// export, 128 + the signal when interrupted, 1 for any other failure (one line on standard error says why).
int run(int argc, char** argv);

} // namespace headlessExport
} // namespace tetrapan
