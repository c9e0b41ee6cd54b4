#pragma once

#include "platform/DialogPresenter.h"

class QWidget;

namespace tetrapan {

// Alerts as QMessageBox, the open panel as QFileDialog, both application-modal.
class MessageBoxPresenter final : public DialogPresenter {
public:
    explicit MessageBoxPresenter(QWidget* parentWindow = nullptr) : parentWindow_(parentWindow) {}
    void setParentWindow(QWidget* window) { parentWindow_ = window; }

    int runAlert(const AlertRequest& request) override;
    QStringList runOpenPanel(const OpenPanelRequest& request) override;
    bool presentError(const StoreError& error) override;

private:
    QWidget* parentWindow_;
};

} // namespace tetrapan
