#pragma once

#include "engine/CompareSettings.h"

#include <QImage>
#include <QRectF>

namespace tetrapan {

// The arithmetic of a compared picture, on pictures of one size in 32-bit (A)RGB: done where the pictures
// are drawn, never on the GUI thread.
class FrameCombiner {
public:
    // a becomes a and b combined as settings say. b of another size leaves a as it is.
    static void combine(QImage& a, const QImage& b, const CompareSettings& settings);
    // Where a picture of the aspect (width over height; 0 for unknown) stands in an image of size, kept
    // whole and centred; all of it when the aspect is not kept.
    static QRectF pictureRect(QSizeF size, double aspect, bool keepAspect);
    // B's picture as A shows it: its picture's part of b scaled onto A's picture's place in an image of a's
    // size, black around it. b itself when the two places are the same.
    static QImage fitted(const QImage& b, QRectF bPicture, QSize aSize, QRectF aPicture);
    // The column (or row) of the first pixel from B in a wipe across size pixels.
    static int wipeLine(double wipeAt, int size);
};

} // namespace tetrapan
