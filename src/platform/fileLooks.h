#pragma once

class QThreadPool;

namespace tetrapan::fileLooks {

// The threads that look at files the user names (whether a path is a folder, where a link leads, why a file
// would not open) away from the window's thread. On a network share that hangs, a look hangs as long as the
// share does; it holds up neither the window nor the quit, which never waits for these threads, and it keeps
// no thread of the program's shared pool from work of its own.
QThreadPool& pool();

} // namespace tetrapan::fileLooks
