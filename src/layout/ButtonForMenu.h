#pragma once

#include <QToolButton>

namespace tetrapan {

// A button whose press pops up its menu at its lower left corner; it stays down while the menu is open and
// sends no command of its own. Pressed again while the menu is open, it closes the menu.
class ButtonForMenu : public QToolButton {
    Q_OBJECT
public:
    explicit ButtonForMenu(QWidget* parent = nullptr);
    ~ButtonForMenu() override;

    void awakeFromNib();

    // Opens the menu and returns once it has closed; nothing when the button is disabled or has no menu.
    void popUpMenu();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace tetrapan
