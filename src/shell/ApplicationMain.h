#pragma once

namespace tetrapan {

// Starts the application: settings defaults, the composition root, the windows, the event loop.
int applicationMain(int argc, char** argv);

} // namespace tetrapan
