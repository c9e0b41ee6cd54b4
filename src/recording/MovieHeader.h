#pragma once

#include "library/Recording.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace tetrapan {

// What a movie file's container header says of it, read with FFmpeg's libavformat without decoding a frame:
// a camera folder's hundreds of files are read in well under a second.
struct MovieHeader {
    qint64 lengthMs = 0;
    std::optional<QDateTime> creationTime; // the container's creation_time, when it has one
    RecordingTracks tracks;                // its first picture and sound tracks' formats
    QString problem;                       // why the file is no movie to play; empty when it is one

    static MovieHeader read(const QString& path);
};

} // namespace tetrapan
