#include "FakeDialogPresenter.h"

namespace tetrapan::test {

int FakeDialogPresenter::runAlert(const AlertRequest& request)
{
    alerts.append(request);
    if (request.chosen && !choiceAnswers.isEmpty())
        *request.chosen = choiceAnswers.takeFirst();
    if (whileAlertShown)
        whileAlertShown();
    return alertAnswers.isEmpty() ? FirstButton : alertAnswers.takeFirst();
}

QStringList FakeDialogPresenter::runOpenPanel(const OpenPanelRequest& request)
{
    openPanels.append(request);
    return openPanelAnswers.isEmpty() ? QStringList() : openPanelAnswers.takeFirst();
}

QString FakeDialogPresenter::runSavePanel(const SavePanelRequest& request)
{
    savePanels.append(request);
    return savePanelAnswers.isEmpty() ? QString() : savePanelAnswers.takeFirst();
}

bool FakeDialogPresenter::presentError(const StoreError& error)
{
    errors.append(error);
    return errorAnswers.isEmpty() ? false : errorAnswers.takeFirst();
}

} // namespace tetrapan::test
