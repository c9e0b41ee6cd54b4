#pragma once

#include <QWidget>

namespace tetrapan {

// A floating window over the main window (the control palette, the preferences, the help). Closing it only
// hides it; it tells when it is about to close, so its controller can store its frame, and when it is shown
// or hidden, so a menu item can carry a check mark while it is open.
class AuxiliaryWindow : public QWidget {
    Q_OBJECT
public:
    AuxiliaryWindow(QWidget* mainWindow, Qt::WindowFlags flags);
    ~AuxiliaryWindow() override;

    // Shows the window in front of the others; with makeKey it also takes the keyboard.
    void orderFront(bool makeKey);
    // Centred over the main window, for a window opened the first time ever.
    void centreOver(const QWidget& mainWindow);

Q_SIGNALS:
    void windowWillClose();
    void visibilityChanged(bool visible);

protected:
    // Escape closes the window, as it does a dialog.
    void closeOnEscape();
    // Moves the window's frame to the point, or as near to it as keeps the whole window on the main
    // window's screen.
    void moveOnScreenOf(const QWidget& mainWindow, QPoint topLeft);

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

} // namespace tetrapan
