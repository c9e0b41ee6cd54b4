#pragma once

#include "library/Recording.h"

#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <optional>

namespace tetrapan {

// One pane of an export: its movie, where the movie's time stands against the common time line, and where
// its picture goes in the output. A pane with no file is left black.
struct ExportPane {
    QString filePath;       // empty: an empty pane; a recording's locator (RecordingSource) for a recording
    Recording recording;    // filePath's recording as the pane placed it; listed by the export when empty
    qint64 offsetMs = 0;    // pane time = rate x common time + offset (a recording's wall-clock place in it)
    double rate = 1.0;      //
    QRect place;            // in the output's pixels; the picture is fitted in it, keeping its shape
    bool keepAspect = true; // false: the picture is stretched over the whole place
    // The detail zoom as the pane shows it: the fitted picture enlarged by the factor, with the point
    // `zoomCentre` (in shares of the picture) at the place's centre, and cut to the place.
    double zoomFactor = 1.0;
    QPointF zoomCentre{0.5, 0.5};
    bool heard = true; // takes part in a mix of the heard panes
};

enum class ExportFormat { Mp4, WebM, Matroska };

enum class ExportSound { None, OnePane, HeardPanes };

// Burned into each pane: nothing; its file name and time; or the time of day it was filmed (the movie's
// recorded creation time, else its file's last change less its length, plus the pane's time).
enum class ExportLabels { None, NameAndTime, WallClock };

// Everything an export needs, in plain values, so the window and a command line can both fill it in.
struct ExportJob {
    std::array<ExportPane, 4> panes;
    int leader = 0;             // index of the pane whose frame rate and length the output follows
    QSize size;                 // of the output picture, in pixels
    double framesPerSecond = 0; // 0: the leader's own rate
    qint64 startMs = 0;         // the range on the common time line, end excluded; an end not after
    qint64 endMs = 0;           // the start: the leader's whole movie
    ExportFormat format = ExportFormat::Mp4;
    int quality = 70; // 0 (smallest file) to 100 (best picture)
    ExportSound sound = ExportSound::HeardPanes;
    int soundPane = 0; // with ExportSound::OnePane
    ExportLabels labels = ExportLabels::None;
    QString outputPath;
};

// What the user chooses for an export, the export dialog's defaults until then; the rest (the movies, their
// places, offsets and range) comes from what the panes show.
struct ExportChoices {
    static constexpr QSize DefaultSize{1280, 720};

    QSize size = DefaultSize;   // empty: the panes' size in the window
    double framesPerSecond = 0; // 0: the leader's
    ExportFormat format = ExportFormat::Mp4;
    int quality = 70;
    ExportSound sound = ExportSound::HeardPanes;
    int soundPane = 0;
    ExportLabels labels = ExportLabels::None;

    // The job's rate, format, quality, sound and labels as chosen.
    void applyTo(ExportJob& job) const
    {
        job.framesPerSecond = framesPerSecond;
        job.format = format;
        job.quality = quality;
        job.sound = sound;
        job.soundPane = soundPane;
        job.labels = labels;
    }
};

// What an export has done so far; `secondsLeft` is negative until there is enough to tell.
struct ExportProgress {
    qint64 framesDone = 0;
    qint64 framesTotal = 0;
    double secondsLeft = -1;
};

struct ExportResult {
    bool ok = false;
    bool cancelled = false;
    QString message; // why it failed, in words for the user
    QString warning; // what a written video lacks, in words for the user: files of a recording left black
    qint64 frames = 0;
};

// The file name extension each format is written with.
QString exportExtension(ExportFormat format);

} // namespace tetrapan
