#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include <optional>

// A movie frame's number written into its picture as a barcode, so the frame a pane shows can be read off
// the screen: what the user sees, not what the engine says. scripts/make-test-clips.sh draws it (barcode
// clips): the top fifteenth of the picture holds Bits stripes of equal width, the most significant bit on the
// left, white for 1 and black for 0.
namespace tetrapan::test::FrameBarcode {

constexpr int Bits = 16;
constexpr int BandFraction = 15;

// The frame number in a picture, given exactly the picture's part of a screenshot; nullopt when its band
// does not read as a barcode (no barcode clip, a black pane, a frame half drawn).
std::optional<int> read(const QImage& picture);
// The same from a screenshot of the band alone, a fifteenth of the screen's work of the whole picture.
std::optional<int> readBand(const QImage& band);
// Where the band of a picture is, in the picture's coordinates.
QRect bandRect(const QRect& picture);

// Where a picture of the given width-to-height ratio sits in a pane of the given size that keeps it whole
// and centred.
QRect pictureRect(QSize pane, double aspect);

// The frame number a view shows in a screenshot, given the view's place in the screenshot and the picture's
// width-to-height ratio.
std::optional<int> readView(const QImage& screenshot, const QRect& view, double aspect);

} // namespace tetrapan::test::FrameBarcode
