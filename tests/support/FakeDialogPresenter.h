#pragma once

#include "platform/DialogPresenter.h"

#include <QList>

#include <functional>

namespace tetrapan::test {

// Answers in the user's place and remembers what was asked. Answers are taken from the queues in order;
// an empty queue answers alerts with the first button, open and save panels with nothing (cancelled),
// errors as unresolved.
class FakeDialogPresenter final : public DialogPresenter {
public:
    int runAlert(const AlertRequest& request) override;
    QStringList runOpenPanel(const OpenPanelRequest& request) override;
    QString runSavePanel(const SavePanelRequest& request) override;
    bool presentError(const StoreError& error) override;

    QList<int> alertAnswers;
    QList<bool> choiceAnswers; // ticked or not, for alerts that offer a choice; empty: left as offered
    // Runs while an alert is shown, as what the alert's event loop would deliver meanwhile.
    std::function<void()> whileAlertShown;
    QList<QStringList> openPanelAnswers;
    QList<QString> savePanelAnswers;
    QList<bool> errorAnswers;

    QList<AlertRequest> alerts;
    QList<OpenPanelRequest> openPanels;
    QList<SavePanelRequest> savePanels;
    QList<StoreError> errors;
};

} // namespace tetrapan::test
