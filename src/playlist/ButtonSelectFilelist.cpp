#include "playlist/ButtonSelectFilelist.h"

#include "library/TBArrayController.h"
#include "playlist/FilelistWheel.h"

#include <QWheelEvent>

namespace tetrapan {

ButtonSelectFilelist::ButtonSelectFilelist(QWidget* parent) : QToolButton(parent) {}

ButtonSelectFilelist::~ButtonSelectFilelist() = default;

void ButtonSelectFilelist::wheelEvent(QWheelEvent* event)
{
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
    const std::optional<int> direction = wheel_.moveDirection(*event);
    if (direction && tbArrayController)
        tbArrayController->moveIndexFilelist(*direction);
}

} // namespace tetrapan
