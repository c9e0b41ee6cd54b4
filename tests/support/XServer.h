#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <xcb/xcb.h>

#include <cstdint>

namespace tetrapan::test {

// A real program's windows as the X server knows them: found by title, typed at, closed, and read back from
// the screen as a user sees them. For tests and benchmarks that drive the real program.
class XServer {
public:
    struct Window {
        xcb_window_t id = XCB_WINDOW_NONE;
        QRect geometry; // in screen coordinates
        QString title;
    };

    // On $DISPLAY.
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool isConnected() const { return root_ != XCB_WINDOW_NONE; }

    // The first shown top-level window whose title starts with the text, of the process when one is given.
    Window find(const QString& titleStart, qint64 pid = 0);

    // Gives the window the keyboard, as a window manager does when the user clicks it.
    void focus(const Window& window);
    // Presses and releases the key that types the X keysym (a Latin-1 character is its own keysym), with
    // the modifier mask held (XCB_MOD_MASK_CONTROL, ...), into the window that has the keyboard.
    void key(const Window& window, uint32_t keysym, uint16_t modifiers = 0);
    // What a window manager does when the user clicks a window's close box.
    void close(const Window& window);

    QColor pixel(QPoint global);
    // A part of the screen as it is now; null when it cannot be read.
    QImage grab(QRect global);

private:
    xcb_atom_t atom(const char* name);
    Window describe(xcb_window_t id);
    qint64 processOf(xcb_window_t id);
    xcb_keycode_t keycode(uint32_t keysym);

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
};

} // namespace tetrapan::test
