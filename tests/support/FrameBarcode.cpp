#include "FrameBarcode.h"

#include <cmath>

namespace tetrapan::test::FrameBarcode {

namespace {

// Mean grey of a small square, so a scaled or compressed edge pixel does not decide a bit.
int meanGrey(const QImage& image, int cx, int cy, int radius)
{
    int sum = 0;
    int count = 0;
    for (int y = std::max(cy - radius, 0); y <= std::min(cy + radius, image.height() - 1); ++y) {
        for (int x = std::max(cx - radius, 0); x <= std::min(cx + radius, image.width() - 1); ++x) {
            sum += qGray(image.pixel(x, y));
            ++count;
        }
    }
    return count > 0 ? sum / count : 0;
}

} // namespace

std::optional<int> read(const QImage& picture)
{
    return readBand(picture.copy(bandRect(picture.rect())));
}

QRect bandRect(const QRect& picture)
{
    return QRect(picture.topLeft(), QSize(picture.width(), picture.height() / BandFraction));
}

std::optional<int> readBand(const QImage& band)
{
    const int bandHeight = band.height();
    const int stripeWidth = band.width() / Bits;
    if (bandHeight < 2 || stripeWidth < 2)
        return std::nullopt;
    const int radius = std::max(std::min(bandHeight, stripeWidth) / 5, 0);
    int number = 0;
    for (int bit = 0; bit < Bits; ++bit) {
        const int grey = meanGrey(band, bit * band.width() / Bits + stripeWidth / 2, bandHeight / 2, radius);
        // Clearly black or clearly white, or it is no barcode.
        if (grey > 64 && grey < 192)
            return std::nullopt;
        number = number * 2 + (grey >= 192 ? 1 : 0);
    }
    return number;
}

QRect pictureRect(QSize pane, double aspect)
{
    if (pane.isEmpty() || aspect <= 0)
        return {};
    const double paneAspect = double(pane.width()) / pane.height();
    QSize size = pane;
    if (paneAspect > aspect)
        size.setWidth(int(std::lround(pane.height() * aspect)));
    else
        size.setHeight(int(std::lround(pane.width() / aspect)));
    return QRect(QPoint((pane.width() - size.width()) / 2, (pane.height() - size.height()) / 2), size);
}

std::optional<int> readView(const QImage& screenshot, const QRect& view, double aspect)
{
    if (screenshot.isNull())
        return std::nullopt;
    return read(screenshot.copy(pictureRect(view.size(), aspect).translated(view.topLeft())));
}

} // namespace tetrapan::test::FrameBarcode
