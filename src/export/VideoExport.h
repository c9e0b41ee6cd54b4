#pragma once

#include "export/ExportJob.h"

#include <atomic>
#include <functional>

namespace tetrapan {

// Makes the video an ExportJob describes, on the calling thread, without any window: each pane's movie is
// read in order from one seek, and frame n of the output shows in each pane the picture that pane shows at
// the range's start + n / rate on the common time line (pane time = rate x common time + offset).
// `progress` is called after every frame; `cancel` is checked before every frame. A cancelled or failed
// export leaves nothing under the chosen name. Text labels need a QGuiApplication.
ExportResult runVideoExport(const ExportJob& job, const std::atomic<bool>& cancel,
                            const std::function<void(const ExportProgress&)>& progress);

// Where each pane goes in an output of `output` pixels, given the panes' places on the screen inside `area`
// (the part of the window the panes share); an empty place stays empty.
std::array<QRect, 4> scaledPlaces(const std::array<QRect, 4>& panes, const QRect& area, QSize output);

// Keeps FFmpeg's own notes (the encoder's settings, its statistics) off standard error, where a command
// line's progress goes; its errors still show there. For a process of its own: it holds for every user of
// FFmpeg.
void keepLibraryNotesQuiet();

// The words that say how long is left: "about 2 min left", "less than a minute left".
QString timeLeftText(double seconds);

} // namespace tetrapan
