#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <array>

namespace tetrapan::test {

// Movie files made by scripts/make-test-clips.sh in the build tree; made on first use, then reused.
struct TestClips {
    QString folder;
    QString red, green, blue, yellow; // 320x240, 25 fps, 5 s, sound, title "Red Clip" and so on
    QString tone;                     // 5 s of sound, no picture
    QString still;                    // a PNG picture
    QString barcode;                  // 320x240, 25 fps, 5 s, sound, frame numbers as barcodes (FrameBarcode)
    QString barcodeVfr;               // the same with frames 3 to 12 left out: frame 2 shows for 0.44 s
    QString barcodeLong;              // the same, 15 s
    QString barcodeSilent;            // the same, 15 s, without a sound track
    QString barcode24;                // the same pictures at 24 fps, 10 s, sound: runs 24/25 as fast
    QString soundJoins; // 5.5 s, MPEG-TS, a tone joined from stereo and mono parts, pauses, overlaps
    QString bench720p, bench1080p;    // 30 fps, 10 s; only with withBenchClips
    QString benchBarcode;             // 1280x720, 30 fps, 40 s, sound, barcodes; only with withBenchClips
    QString benchBarcode60;           // 640x360, 60 fps, 90 s, sound, barcodes; only with withBenchClips
    QString benchBarcode30;           // the same at 30 fps; only with withBenchClips
    QString benchTestCard; // 1280x720, 4x4 coloured cells (make-test-clips.sh); only with withBenchClips
    QString error;         // why the clips could not be made; empty when they were

    bool ok() const { return error.isEmpty(); }
    QString colour(int viewNo) const;           // 1 red, 2 green, 3 blue, 4 yellow
    QString colour720p(int viewNo) const;       // the same at 1280x720
    static const std::array<QColor, 4> Colours; // what those four show, in that order
    // One file of each kind a user meets, 1 s, 320x240: "video-only.mp4", "vp9.webm", "hevc.mkv",
    // "mjpeg.avi", "prores.mov", "rotated.mp4", "vfr.mp4", "10bit.mp4", "cut-short.mkv" (see
    // make-test-clips.sh).
    QString kind(const QString& fileName) const;
    static const QStringList KindFileNames;
    // What each kind shows upright, in the middle of its upper and of its lower half (rotated.mp4, stored
    // red left and blue right, shows blue above red).
    struct Upright {
        QColor upper, lower;
    };
    static Upright kindShows(const QString& fileName);

    static constexpr int FramesPerSecond = 25;
    static constexpr double Seconds = 5.0;

    // Blocks while ffmpeg runs (a few seconds the first time).
    static TestClips make(const QString& folder, bool withBenchClips = false);
    // In the build tree of the tests.
    static TestClips makeForTests();
};

} // namespace tetrapan::test
