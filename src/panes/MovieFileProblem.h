#pragma once

#include <QString>

namespace tetrapan::MovieFileProblem {

// Why a file the engine would not open cannot be shown, in the user's words: not found, a folder, not
// readable, empty, or not a movie (with what the engine said).
QString reason(const QString& path, const QString& engineError);

} // namespace tetrapan::MovieFileProblem
