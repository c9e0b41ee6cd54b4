#pragma once

#include "library/Recording.h"

#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

namespace tetrapan::test {

// Recordings as cameras write them, made with ffmpeg in test set-up and kept for the next run: one folder
// per camera of files named after their start and camera ("2026-03-01_12-00-00_front.mp4"), each a barcode
// clip (FrameBarcode) whose barcodes number the frames on the wall clock from the recordings' start, so
// frame n of every camera shows the same moment and a gap skips its numbers.
class RecordingClips {
public:
    struct Layout {
        QStringList cameras{QStringLiteral("front")};
        int files = 3;
        int secondsPerFile = 3;
        int framesPerSecond = 10;
        QSize size{160, 120};
        // Files of the first camera that end halfway, leaving the rest of their time a gap.
        QSet<int> halfFiles;
        // Files of the first camera without a sound track.
        QSet<int> silentFiles;
    };

    // 2026-03-01 12:00:00 UTC, where the first file of each camera starts.
    static qint64 startMs();
    // The two cameras the engine, export and command-line tests play: front 0-3 s, 3-6 s without sound,
    // 6-7.5 s, a gap to 9 s, 9-12 s; back: four whole files with sound.
    static Layout twoCameras()
    {
        return {.cameras = {"front", "back"}, .files = 4, .halfFiles = {2}, .silentFiles = {1}};
    }

    // Files already in `folder` (made for the same layout) are kept. Blocks while ffmpeg runs.
    static RecordingClips make(const QString& folder, const Layout& layout);
    // In the build tree of the tests.
    static RecordingClips makeForTests(const Layout& layout);

    Layout layout;
    QString folder;
    QStringList cameraFolders;     // one per camera, in the layout's order
    QVector<Recording> recordings; // one per camera, its files placed on the wall clock
    QString error;

    bool ok() const { return error.isEmpty(); }
    // The frame the recordings show at `ms` after their start.
    int frameAt(qint64 ms) const { return int(ms * layout.framesPerSecond / 1000); }
};

} // namespace tetrapan::test
