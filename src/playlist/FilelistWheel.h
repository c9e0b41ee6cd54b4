#pragma once

#include <optional>

class QWheelEvent;

namespace tetrapan {

// How a turn of the wheel steps through the file list, for the table and the wheel button alike.
namespace filelistWheel {

// One notch of a common mouse wheel: the event's vertical amount in the units of the original system.
constexpr double NotchAngle = 120.0;

// The direction for TBArrayController::moveIndexFilelist: the vertical amount truncated toward zero; above
// 0 steps to the previous entry (1), anything else to the next (0). An event that carries no movement at
// all (a touchpad's start or end of a gesture) steps nowhere.
std::optional<int> moveDirection(const QWheelEvent& event);
// The same rule on the vertical amount itself.
int moveDirection(double deltaY);

// A mouse wheel's notches follow moveDirection one event at a time. A touchpad (an event with a scroll
// phase or an amount in pixels) sends many small amounts for one swipe, and by that rule every one of
// them, upward too, would step to the next entry: its amounts are added up instead, and each whole notch
// steps once in its own direction. One widget, one collector: a swipe over another starts anew.
class NotchCollector {
public:
    std::optional<int> moveDirection(const QWheelEvent& event);

private:
    double collected_ = 0.0;
};

} // namespace filelistWheel
} // namespace tetrapan
