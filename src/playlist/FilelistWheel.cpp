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

} // namespace tetrapan::filelistWheel
