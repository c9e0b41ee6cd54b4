#include "RecordingScreen.h"

#include "FrameBarcode.h"

#include <QColor>

#include <algorithm>

namespace tetrapan::bench {

namespace {

constexpr double PictureAspect = 16.0 / 9.0;

bool dark(QRgb pixel)
{
    return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) < 40;
}

// black, white and the greys between: the letterbox, the dividers, the window's own
bool grey(QRgb pixel)
{
    return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) -
               std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)}) <
           30;
}

bool light(QRgb pixel)
{
    return std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)}) > 160;
}

bool near(QRgb pixel, QColor colour)
{
    constexpr int Tolerance = 24;
    return std::abs(qRed(pixel) - colour.red()) <= Tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= Tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= Tolerance;
}

} // namespace

bool showsBars(const QImage& row)
{
    // An HD picture that names no colour matrix shows its bars a little off their pure colours: a bar is one
    // channel high and the other two low.
    std::array<bool, 3> bars{};
    for (int x = 0; x < row.width(); ++x) {
        const QRgb p = row.pixel(x, 0);
        const std::array<int, 3> c{qRed(p), qGreen(p), qBlue(p)};
        for (int i = 0; i < 3; ++i)
            bars[i] = bars[i] || (c[i] > 180 && c[(i + 1) % 3] < 70 && c[(i + 2) % 3] < 70);
    }
    return bars[0] && bars[1] && bars[2];
}

bool allAt(const RecordingScreen::Frames& frames, int frame)
{
    return std::all_of(frames.begin(), frames.end(), [&](const auto& f) { return f && *f == frame; });
}

bool RecordingScreen::findPictures(const QImage& shot)
{
    std::array<QRect, 4> found;
    for (int n = 1; n <= 4; ++n) {
        // around the middle of pane n's quarter of the window
        const QPoint centre(shot.width() * (n <= 2 ? 1 : 3) / 4, shot.height() * (n % 2 ? 1 : 3) / 4 - 10);
        // The test card is all colours: the picture reaches until the greys of the letterbox's black or of a
        // divider; a pixel or two of grey where two colour bars blend is still the picture.
        const auto reach = [&](QPoint from, QPoint step) {
            QPoint last = from;
            int greys = 0;
            for (QPoint at = from; shot.rect().contains(at) && greys < 3; at += step) {
                greys = grey(shot.pixel(at)) ? greys + 1 : 0;
                if (greys == 0)
                    last = at;
            }
            return last;
        };
        // the widest of a few rows, as a row may cross the card's grey box
        int left = 0;
        int right = -1;
        for (int dy = -40; dy <= 40; dy += 8) {
            const QPoint from = centre + QPoint(0, dy);
            if (!shot.rect().contains(from) || grey(shot.pixel(from)))
                continue;
            const int l = reach(from, {-1, 0}).x();
            const int r = reach(from, {1, 0}).x();
            if (r - l > right - left) {
                left = l;
                right = r;
            }
        }
        if (right - left < 64)
            return false;
        // the test card's bars, not one colour of a plain clip (whose band would read as black stripes)
        if (!showsBars(shot.copy(left, centre.y(), right - left + 1, 1)))
            return false;
        const int bottom = reach(QPoint((left + right) / 2, centre.y()), {0, 1}).y();
        const int height = int(std::lround((right - left + 1) / PictureAspect));
        found[n - 1] = QRect(QPoint(left, bottom - height + 1), QPoint(right, bottom));
    }
    // the barcodes read where the pictures were found
    if (!std::all_of(std::begin(found), std::end(found), [&](const QRect& picture) {
            return test::FrameBarcode::read(shot.copy(picture)).has_value();
        }))
        return false;
    pictures_ = found;
    return true;
}

RecordingScreen::Frames RecordingScreen::frames(const QImage& shot) const
{
    Frames read;
    for (int n = 0; n < 4; ++n) {
        if (pictures_[n].isValid())
            read[n] = test::FrameBarcode::read(shot.copy(pictures_[n]));
    }
    return read;
}

std::optional<int> RecordingScreen::frameOf(int viewNo)
{
    return test::FrameBarcode::read(x_.grab(picture(viewNo)));
}

bool RecordingScreen::showsGapNotice(const QImage& shot, int viewNo) const
{
    const QImage pane = shot.copy(pictures_[viewNo - 1]);
    if (pane.isNull())
        return false;
    QRect text;
    for (int y = 0; y < pane.height(); ++y) {
        for (int x = 0; x < pane.width(); ++x) {
            const QRgb pixel = pane.pixel(x, y);
            if (light(pixel))
                text |= QRect(x, y, 1, 1);
            else if (!dark(pixel) && std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) > 120 &&
                     std::abs(qRed(pixel) - qBlue(pixel)) > 40)
                return false; // a colour: a picture, not the notice's white on black
        }
    }
    // one line of text, centred: narrower than half the picture, lower than a sixth, around its middle
    const QPoint middle = pane.rect().center();
    return text.isValid() && text.width() < pane.width() / 2 && text.height() < pane.height() / 6 &&
           std::abs(text.center().x() - middle.x()) < pane.width() / 8 &&
           std::abs(text.center().y() - middle.y()) < pane.height() / 8;
}

RecordingScreen::Track RecordingScreen::findTrack(const QImage& shot, QColor laneColour) const
{
    // the longest run of the lane's colour in the window's lower part; the lane's name before it is text
    Track track;
    for (int y = shot.height() / 2; y < shot.height(); ++y) {
        int runStart = -1;
        for (int x = 0; x <= shot.width(); ++x) {
            const bool in = x < shot.width() && near(shot.pixel(x, y), laneColour);
            if (in && runStart < 0)
                runStart = x;
            if (!in && runStart >= 0) {
                if (x - 1 - runStart > track.right - track.left)
                    track = Track{runStart + window_.left(), x - 1 + window_.left(), y + window_.top()};
                runStart = -1;
            }
        }
    }
    return track;
}

} // namespace tetrapan::bench
