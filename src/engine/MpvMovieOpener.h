#pragma once

#include "engine/MpvMovie.h"

#include <QString>

#include <memory>

struct mpv_handle;

namespace tetrapan {

class MpvOpenWait;
struct MpvOpening;

// A movie opened, or why it was not.
struct MpvOpenResult {
    std::unique_ptr<MpvMovie> movie;
    QString error;
    bool isFolder = false;
};

// Opening a file on an mpv core into an MpvMovie: loading it, waiting for mpv's answers and learning what
// the file holds. The movie itself only deals with a file that is open.
class MpvMovieOpener {
public:
    // Loads the file and waits for mpv to report it loaded or failed and, for a file with pictures, to
    // decode the first one, at most options.openTimeout. Not on the GUI thread of a program: the engine opens
    // on its workers.
    // warm: a core started ahead of time with the same options; without one a core is started here, which
    // is most of the time an open takes.
    // loading: warm was already given this path by startLoading.
    static MpvOpenResult openWaiting(const QString& path, const MpvMovie::Options& options, MpvCorePtr warm = {},
                                     bool loading = false);
    // The same on any thread, except that the movie does not hear mpv's events yet: the thread it is handed
    // to (moveToThread) calls MpvMovie::hearEvents. wait: where another thread cancels the open.
    static MpvOpenResult openWithoutEvents(const QString& path, const MpvMovie::Options& options, MpvCorePtr warm,
                                           bool loading, MpvOpenWait& wait);
    // A recording's files as one movie (MpvRecordingTimeline), on any thread as openWithoutEvents.
    static MpvOpenResult openRecordingWithoutEvents(const Recording& recording, const MpvMovie::Options& options,
                                                    MpvCorePtr warm, MpvOpenWait& wait);
    // Asks a started core to load a file without waiting for it, its decoder on decoderThreads threads;
    // false when mpv refuses the request.
    static bool startLoading(mpv_handle* handle, const QString& absolutePath, int decoderThreads, QString* error);

private:
    // source: what mpv loads, the file's absolute path or a timeline; path: what the movie is known by.
    static MpvOpenResult openSource(const QString& source, const QString& path, const MpvMovie::Options& options,
                                    MpvCorePtr warm, bool loading, MpvOpenWait& wait);
    // Learns what the file holds; an error text when it is nothing a pane can show.
    static QString inspectLoadedFile(MpvMovie& movie, MpvOpening& opening);
    // rotation: clockwise degrees the pictures are stored turned by.
    static void turnPicturesUpright(MpvMovie& movie, qint64 rotation);
};

} // namespace tetrapan
