#pragma once

#include "library/Recording.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimeZone>

class QThreadPool;

#include <atomic>
#include <functional>

namespace tetrapan {

// Lists a recording's files and places each on the wall clock. Blocking: it reads every file's header, so it
// runs off the GUI thread (RecordingScan).
namespace RecordingLister {

// How far the listing is: files read of all there are. Called on the listing's threads.
using Progress = std::function<void(int done, int total)>;

// The movies of source's folder (of its camera only, when it names one) or its chosen files, each placed
// where it starts: the date and time in its name, read in `zone`; else its container's creation time;
// else its modification time less its length. What is no movie, or does not open, is skipped with its
// reason; where two files overlap, the later takes over at its start and the earlier is noted as cut
// short. Returns source with its pieces, skipped and overlaps filled in; nothing placed when cancelled.
// readers: the threads the headers are read on, side by side; the global pool when none.
Recording list(const Recording& source, const QTimeZone& zone, const Progress& progress = {},
               const std::atomic<bool>* cancel = nullptr, QThreadPool* readers = nullptr);

// A folder's movie files by the camera that wrote them (WallClockName::cameraOf), in name order; a folder
// whose names name no camera is one camera "".
QMap<QString, QStringList> camerasIn(const QString& folder);

// Whether a name ends as a movie file's does; what does not is never read.
bool isMovieName(const QString& fileName);

} // namespace RecordingLister
} // namespace tetrapan
