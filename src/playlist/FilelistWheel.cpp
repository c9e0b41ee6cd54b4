#include "playlist/FilelistWheel.h"

#include <QWheelEvent>

#include <cmath>

namespace tetrapan::filelistWheel {

int moveDirection(double deltaY)
{
    return std::trunc(deltaY) > 0 ? 1 : 0;
}

std::optional<int> moveDirection(const QWheelEvent& event)
{
    if (event.angleDelta().isNull() && event.pixelDelta().isNull())
        return std::nullopt;
    return moveDirection(event.angleDelta().y() / NotchAngle);
}

std::optional<int> NotchCollector::moveDirection(const QWheelEvent& event)
{
    const bool touchpad = event.phase() != Qt::NoScrollPhase || !event.pixelDelta().isNull();
    if (!touchpad) {
        collected_ = 0.0;
        return filelistWheel::moveDirection(event);
    }
    if (event.phase() == Qt::ScrollBegin)
        collected_ = 0.0;
    // some touchpads report pixels only
    collected_ += event.angleDelta().isNull() ? event.pixelDelta().y() : event.angleDelta().y();
    if (std::abs(collected_) < NotchAngle)
        return std::nullopt;
    const bool upward = collected_ > 0;
    collected_ -= upward ? NotchAngle : -NotchAngle;
    return filelistWheel::moveDirection(upward ? 1.0 : -1.0);
}

} // namespace tetrapan::filelistWheel
