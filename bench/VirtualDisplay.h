#pragma once

#include <QProcess>

namespace tetrapan::bench {

// A private X server when there is no display, so panes draw into a real window. Sets DISPLAY for the
// process; the server goes when this object does.
class VirtualDisplay {
public:
    VirtualDisplay() = default;
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool start();
    // The X server the program draws on: the one started here, or the one $DISPLAY names; 0 when unknown.
    qint64 serverPid() const;

private:
    QProcess server_;
};

} // namespace tetrapan::bench
