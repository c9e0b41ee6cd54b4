#include "shell/alignCommands.h"

#include "palette/ControlWindow.h"
#include "panes/AlignNotice.h"
#include "panes/CMMovieView.h"
#include "panes/MovController.h"
#include "panes/PaneAligner.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

namespace tetrapan::alignCommands {

void connect(MainNib& nib)
{
    MainWindow* window = &nib.mainWindow();
    PaneAligner* aligner = &nib.paneAligner();
    AlignNotice* notice = &nib.alignNotice();

    auto* bySound = new QAction(QStringLiteral("Align Panes by &Sound"), window);
    bySound->setObjectName(QStringLiteral("actionAlignBySound"));
    bySound->setToolTip(QStringLiteral("Set the offsets so that the same sound plays at once in every pane"));
    auto* byFlash = new QAction(QStringLiteral("Align Panes by F&lash"), window);
    byFlash->setObjectName(QStringLiteral("actionAlignByFlash"));
    byFlash->setToolTip(QStringLiteral("Set the offsets so that a flash or a change of light shows at once"));
    auto* atTwoPoints = new QAction(QStringLiteral("Align Panes by Sound at &Two Points"), window);
    atTwoPoints->setObjectName(QStringLiteral("actionAlignAtTwoPoints"));
    atTwoPoints->setToolTip(
        QStringLiteral("Align by sound near the start and near the end: the offsets and the rates of movies "
                       "that run faster or slower"));
    const QList<QAction*> actions{bySound, byFlash, atTwoPoints};

    // after Sync, which they set up
    QMenu* playback = window->playbackMenu();
    const int afterSync = int(playback->actions().indexOf(window->syncAction())) + 1;
    playback->insertActions(playback->actions().value(afterSync), actions);
    // titled: the button offers the menu under this name to screen readers
    auto* paletteMenu = new QMenu(QStringLiteral("Align"), &nib.controlWindow());
    paletteMenu->addActions(actions);
    nib.controlWindow().btnAlign()->setMenu(paletteMenu);

    QObject::connect(bySound, &QAction::triggered, aligner,
                     [aligner] { aligner->alignPanes(PaneAligner::Method::Sound); });
    QObject::connect(byFlash, &QAction::triggered, aligner,
                     [aligner] { aligner->alignPanes(PaneAligner::Method::Flash); });
    QObject::connect(atTwoPoints, &QAction::triggered, aligner,
                     [aligner] { aligner->alignPanes(PaneAligner::Method::TwoPoints); });
    for (int viewNo = 1; viewNo <= 4; ++viewNo)
        nib.cmMovieView(viewNo).setPaneAligner(aligner);

    const auto refresh = [aligner, actions, button = nib.controlWindow().btnAlign()] {
        const bool can = aligner->canAlign();
        for (QAction* action : actions)
            action->setEnabled(can);
        button->setEnabled(can);
    };
    MovController* coordinator = &nib.movController();
    QObject::connect(coordinator, &MovController::allMovieViewsChanged, aligner, refresh);
    QObject::connect(coordinator, &MovController::playButtonEnabledNeedsRefresh, aligner, refresh);
    QObject::connect(coordinator, &MovController::uniqueIdChanged, aligner, refresh);
    QObject::connect(playback, &QMenu::aboutToShow, aligner, refresh);
    QObject::connect(paletteMenu, &QMenu::aboutToShow, aligner, refresh);

    QObject::connect(aligner, &PaneAligner::alignStarted, notice, [notice, refresh](const QString& what) {
        notice->showStarted(what);
        refresh();
    });
    QObject::connect(aligner, &PaneAligner::progressed, notice, &AlignNotice::showProgress);
    QObject::connect(aligner, &PaneAligner::alignFinished, notice, [notice, refresh](const QString& report) {
        notice->showFinished(report);
        refresh();
    });
    QObject::connect(notice, &AlignNotice::cancelRequested, aligner, &PaneAligner::cancel);
    refresh();
}

} // namespace tetrapan::alignCommands
