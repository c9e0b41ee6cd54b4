#pragma once

#include <QList>
#include <QString>

namespace tetrapan::test {

struct TestClips;

// Every kind of path a user may give that is no movie, made in a folder of the test's: an empty file, text
// named .mp4, an MP4 cut in half, an MP4 cut after its header, a playlist file, a folder, a picture, a path to nothing, a named pipe, a
// link to nothing, and a file nobody may read, which only a user other than root can test: no file mode stops
// root.
struct BadMovieFile {
    QString kind;
    QString path;
    bool refusedBeforeOpening = false; // the engine refuses it without trying to open it
    QString skipReason;                // set when this machine cannot make such a file
};

QList<BadMovieFile> makeBadMovieFiles(const QString& folder, const TestClips& clips);

} // namespace tetrapan::test
