#pragma once

#include "XServer.h"

#include <QImage>
#include <QRect>

#include <array>
#include <optional>

namespace tetrapan::bench {

// The program's main window of four recordings as the X server shows it, read from outside: where each
// pane's picture is, the frame number its barcode carries, whether a pane shows the "No recording" notice,
// and where the time line's track lies.
class RecordingScreen {
public:
    using Frames = std::array<std::optional<int>, 4>;

    // window: the main window's place on the screen.
    RecordingScreen(test::XServer& x, QRect window) : x_(x), window_(window) {}

    QImage shot() { return x_.grab(window_); }
    // Finds the four pictures (16:9, letterboxed in their panes) in a shot where every pane shows one; false
    // while one does not.
    bool findPictures(const QImage& shot);
    bool picturesFound() const { return pictures_[0].isValid(); }
    QRect picture(int viewNo) const { return pictures_[viewNo - 1].translated(window_.topLeft()); }
    // What the panes' barcodes read in one shot; none where a picture does not read.
    Frames frames(const QImage& shot) const;
    Frames frames() { return frames(shot()); }
    std::optional<int> frameOf(int viewNo);
    // Pane n black but for a short light line of text in its middle: the gap's notice.
    bool showsGapNotice(const QImage& shot, int viewNo) const;

    // The time line's track on the screen, from the strip of a pane's lane that spans the whole recording
    // (its colour as the bar paints it): x of time 0, x of the end, and a y on the bar.
    struct Track {
        int left = -1;
        int right = -1;
        int y = -1;
        bool valid() const { return right > left; }
    };
    Track findTrack(const QImage& shot, QColor laneColour) const;

private:
    test::XServer& x_;
    QRect window_;
    std::array<QRect, 4> pictures_; // in the window's coordinates
};

bool allAt(const RecordingScreen::Frames& frames, int frame);
// Whether a row of pixels crosses the test clips' red, green and blue bars.
bool showsBars(const QImage& row);

} // namespace tetrapan::bench
