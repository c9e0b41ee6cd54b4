#include "FakeDialogPresenter.h"

namespace tetrapan::test {

int FakeDialogPresenter::runAlert(const AlertRequest& request)
{
    alerts.append(request);
    return alertAnswers.isEmpty() ? FirstButton : alertAnswers.takeFirst();
}

QStringList FakeDialogPresenter::runOpenPanel(const OpenPanelRequest& request)
{
    openPanels.append(request);
    return openPanelAnswers.isEmpty() ? QStringList() : openPanelAnswers.takeFirst();
}

bool FakeDialogPresenter::presentError(const StoreError& error)
{
    errors.append(error);
    return errorAnswers.isEmpty() ? false : errorAnswers.takeFirst();
}

} // namespace tetrapan::test
