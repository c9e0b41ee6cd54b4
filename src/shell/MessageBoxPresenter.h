#pragma once

#include "platform/DialogPresenter.h"

class QWidget;

namespace tetrapan {

// Alerts as QMessageBox, the open and save panels as QFileDialog, all application-modal.
class MessageBoxPresenter final : public DialogPresenter {
public:
    explicit MessageBoxPresenter(QWidget* parentWindow = nullptr) : parentWindow_(parentWindow) {}
    void setParentWindow(QWidget* window) { parentWindow_ = window; }

    int runAlert(const AlertRequest& request) override;
    QStringList runOpenPanel(const OpenPanelRequest& request) override;
    QString runSavePanel(const SavePanelRequest& request) override;
    bool presentError(const StoreError& error) override;

private:
    QWidget* parentWindow_;
};

} // namespace tetrapan
