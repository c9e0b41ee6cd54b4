#include "layout/ButtonForMenu.h"

#include <QMenu>
#include <QMouseEvent>

namespace tetrapan {

ButtonForMenu::ButtonForMenu(QWidget* parent) : QToolButton(parent)
{
    // draws the menu arrow; the press itself is handled below
    setPopupMode(QToolButton::InstantPopup);
}

ButtonForMenu::~ButtonForMenu() = default;

void ButtonForMenu::awakeFromNib()
{
    setFocusPolicy(Qt::NoFocus);
}

void ButtonForMenu::popUpMenu()
{
    QMenu* attached = menu();
    if (!isEnabled() || !attached)
        return;
    setDown(true);
    // a press on this button while the menu is open only closes the menu, as with Qt's own menu buttons;
    // handed on to the button it would open the menu again at once
    attached->setNoReplayFor(this);
    attached->exec(mapToGlobal(QPoint(2, height())));
    setDown(false);
}

void ButtonForMenu::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QToolButton::mousePressEvent(event);
        return;
    }
    popUpMenu();
}

} // namespace tetrapan
