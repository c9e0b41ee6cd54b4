#pragma once

#include "playlist/FilelistWheel.h"

#include <QToolButton>

namespace tetrapan {

class TBArrayController;

// A button over which the mouse wheel steps through the file list's entries, as over the file table. A
// disabled button lets the wheel pass.
class ButtonSelectFilelist : public QToolButton {
    Q_OBJECT
public:
    explicit ButtonSelectFilelist(QWidget* parent = nullptr);
    ~ButtonSelectFilelist() override;

    // outlet
    TBArrayController* tbArrayController = nullptr;

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    filelistWheel::NotchCollector wheel_;
};

} // namespace tetrapan
