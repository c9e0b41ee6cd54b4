#include "engine/FrameCombiner.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tetrapan {

namespace {

// Opaque pictures: each byte of a pixel is a channel, and the alpha byte stays 255 whatever is done to it.
// Plain loops over bytes that the compiler turns into vector code (this file is built for it): a pane's
// picture every frame, on its drawing thread.
void blendRow(uchar* a, const uchar* b, int bytes, int weight)
{
    // weight of b in 256ths
    for (int i = 0; i < bytes; ++i)
        a[i] = static_cast<uchar>(a[i] + (((b[i] - a[i]) * weight) >> 8));
}

void differenceRow(uchar* a, const uchar* b, int bytes, int factor)
{
    // the bytes, then the alpha of each pixel, which of two opaque pixels differs by nothing
    const int below = 255 / factor; // a difference above it is amplified to white
    for (int i = 0; i < bytes; ++i) {
        const uchar difference = a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
        a[i] = difference > below ? uchar(255) : static_cast<uchar>(difference * factor);
    }
    auto* pixels = reinterpret_cast<quint32*>(a);
    for (int i = 0; i < bytes / 4; ++i)
        pixels[i] |= 0xff000000u;
}

} // namespace

int FrameCombiner::wipeLine(double wipeAt, int size)
{
    return std::clamp(static_cast<int>(std::lround(wipeAt * size)), 0, size);
}

void FrameCombiner::combine(QImage& a, const QImage& b, const CompareSettings& settings)
{
    if (a.size() != b.size() || a.depth() != 32 || b.depth() != 32)
        return;
    const int height = a.height();
    const int bytes = a.width() * 4;
    switch (settings.kind) {
    case CompareKind::Flip:
        if (settings.showsB) {
            for (int y = 0; y < height; ++y)
                std::memcpy(a.scanLine(y), b.constScanLine(y), bytes);
        }
        return;
    case CompareKind::Wipe:
        if (settings.wipeVertical) {
            const int from = wipeLine(settings.wipeAt, a.width()) * 4;
            for (int y = 0; y < height; ++y)
                std::memcpy(a.scanLine(y) + from, b.constScanLine(y) + from, bytes - from);
        } else {
            for (int y = wipeLine(settings.wipeAt, height); y < height; ++y)
                std::memcpy(a.scanLine(y), b.constScanLine(y), bytes);
        }
        return;
    case CompareKind::Blend: {
        const int weight = std::clamp(static_cast<int>(std::lround(settings.opacity * 256)), 0, 256);
        for (int y = 0; y < height; ++y)
            blendRow(a.scanLine(y), b.constScanLine(y), bytes, weight);
        return;
    }
    case CompareKind::Difference:
        for (int y = 0; y < height; ++y)
            differenceRow(a.scanLine(y), b.constScanLine(y), bytes, std::max(settings.factor, 1));
        return;
    }
}

QRectF FrameCombiner::pictureRect(QSizeF size, double aspect, bool keepAspect)
{
    if (!keepAspect || aspect <= 0 || size.isEmpty())
        return QRectF(QPointF(0, 0), size);
    const QSizeF picture = QSizeF(aspect, 1.0).scaled(size, Qt::KeepAspectRatio);
    return QRectF(QPointF((size.width() - picture.width()) / 2, (size.height() - picture.height()) / 2),
                  picture);
}

QImage FrameCombiner::fitted(const QImage& b, QRectF bPicture, QSize aSize, QRectF aPicture)
{
    if (b.size() == aSize && (bPicture.toAlignedRect() == aPicture.toAlignedRect()))
        return b;
    QImage out(aSize, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::black);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(aPicture, b, bPicture);
    return out;
}

} // namespace tetrapan
