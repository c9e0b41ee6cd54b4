#pragma once

#include "XServer.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>

#include <functional>
#include <optional>

class QWidget;

namespace tetrapan::test {

// What the screen shows at a point, as a user sees it: a colour, or the frame number a barcode clip
// (FrameBarcode) carries. Points are on the screen, or in a widget of this process: on X the X server's
// screen is read, on the offscreen platform what the window paints. Colours match give or take what
// scaling and the movies' colour conversion change.
class ScreenProbe {
public:
    static constexpr int Tolerance = 48; // for each of red, green and blue
    static constexpr int WaitMs = 20000;
    static constexpr double PictureAspect = 4.0 / 3.0; // of the pictures of the tests' clips (TestClips)

    static bool near(QColor seen, QColor expected);
    // "red", "green", "blue", "yellow" for the clips of panes 1 to 4 (TestClips::colour), else its rgb()
    static QString clipColourName(QColor seen);

    QImage grab(QRect global);
    QImage grab(QWidget& widget, QRect area);
    QColor colourAt(QPoint global);
    // Waits until the point shows the colour; warns what it showed when it never does.
    bool waitFor(QPoint global, QColor expected, int timeoutMs = WaitMs);
    bool waitFor(QWidget& widget, QPoint point, QColor expected, int timeoutMs = WaitMs);

    // The frames the movie views of a window show, down its left column first (panes 1 to 4), all read
    // from one picture of it; nullopt where a view's picture does not read as a barcode.
    QList<std::optional<int>> framesShown(QWidget& window, double pictureAspect = PictureAspect);
    // "25 25 25 25", "?" for a frame that does not read.
    static QString text(const QList<std::optional<int>>& frames);

private:
    static bool waitFor(const std::function<QColor()>& colour, QColor expected, int timeoutMs);

    XServer x_;
};

} // namespace tetrapan::test
