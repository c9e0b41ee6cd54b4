#include "shell/MainWindow.h"

#include "layout/ButtonForMenu.h"
#include "layout/MenuFrameSet.h"
#include "layout/SplitSubView.h"
#include "shell/EmptyLibraryHint.h"
#include "ui_MainWindow.h"
#include "widgets/NamedImage.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include <functional>

namespace tetrapan {

MainWindow::MainWindow(QWidget* parent)
    : FullScreenWindow(parent), ui_(std::make_unique<Ui::MainWindow>()),
      menuFrameSet_(new MenuFrameSet(this)), frameSetButton_(new ButtonForMenu)
{
    ui_->setupUi(this);
    for (int viewNo = 1; viewNo <= 4; ++viewNo) {
        QWidget* slot = paneSlot(viewNo);
        auto* layout = new QVBoxLayout(slot);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        slot->setAutoFillBackground(true);
        QPalette palette = slot->palette();
        palette.setColor(QPalette::Window, Qt::black);
        slot->setPalette(palette);
    }
    // even panes until a stored or saved layout says otherwise
    ui_->spvMain->setSizes({1, 1});
    ui_->spvLeft->setSizes({1, 1});
    ui_->spvRight->setSizes({1, 1});
    emptyLibraryHint_ = new EmptyLibraryHint(ui_->centralWidget);
    emptyLibraryHint_->hide();

    ui_->menuView->addSeparator();
    ui_->menuView->addMenu(menuFrameSet_);
    frameSetButton_->setMenu(menuFrameSet_);
    frameSetButton_->setText(QStringLiteral("Frame Set"));
    frameSetButton_->setToolTip(QStringLiteral("Load, save or remove the playlist's frame set"));
    frameSetButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    changeFrameSetButtonImage(false);
    ui_->toolBar->addWidget(frameSetButton_);
    addAuxiliaryWindowCommands();
    addSyncLockCommand();
    addSeekBarCommand();
    addSpeedAndZoomCommands();
    addLoopCommand();
    answerMenuKeysInEveryWindow();
    answerPlainKeys();
}

MainWindow::~MainWindow() = default;

SplitSubView* MainWindow::spvMain() const
{
    return ui_->spvMain;
}
SplitSubView* MainWindow::spvLeft() const
{
    return ui_->spvLeft;
}
SplitSubView* MainWindow::spvRight() const
{
    return ui_->spvRight;
}
QAction* MainWindow::openMoviesAction() const
{
    return ui_->actionOpenMovies;
}

QAction* MainWindow::openRecordingsAction() const
{
    return ui_->actionOpenRecordings;
}

QAction* MainWindow::openCameraFolderAction() const
{
    return ui_->actionOpenCameraFolder;
}

QAction* MainWindow::openFilesAsRecordingAction() const
{
    return ui_->actionOpenFilesAsRecording;
}
QList<QAction*> MainWindow::openIntoPaneActions() const
{
    return {ui_->actionOpenIntoPane1, ui_->actionOpenIntoPane2, ui_->actionOpenIntoPane3,
            ui_->actionOpenIntoPane4};
}
QAction* MainWindow::newPlaylistAction() const
{
    return ui_->actionNewPlaylist;
}
QAction* MainWindow::newFolderAction() const
{
    return ui_->actionNewFolder;
}
QAction* MainWindow::saveAction() const
{
    return ui_->actionSave;
}
QAction* MainWindow::quitAction() const
{
    return ui_->actionQuit;
}
QAction* MainWindow::undoAction() const
{
    return ui_->actionUndo;
}
QAction* MainWindow::redoAction() const
{
    return ui_->actionRedo;
}
QAction* MainWindow::showDividersAction() const
{
    return ui_->actionShowDividers;
}
QAction* MainWindow::autoFramePlayAction() const
{
    return ui_->actionAutoFramePlay;
}
QAction* MainWindow::fullScreenAction() const
{
    return ui_->actionFullScreen;
}
QAction* MainWindow::playAllAction() const
{
    return ui_->actionPlayAll;
}
QList<QAction*> MainWindow::skipActions() const
{
    return {ui_->actionSkipStart, ui_->actionSkipBack, ui_->actionSkipForward, ui_->actionSkipEnd};
}
QAction* MainWindow::syncAction() const
{
    return ui_->actionSync;
}
QAction* MainWindow::stepBackAction() const
{
    return ui_->actionStepBack;
}
QAction* MainWindow::stepForwardAction() const
{
    return ui_->actionStepForward;
}
QAction* MainWindow::exportVideoAction() const
{
    return ui_->actionExportVideo;
}

QAction* MainWindow::snapshotAction() const
{
    return ui_->actionSnapshot;
}
QAction* MainWindow::previousPlaylistAction() const
{
    return ui_->actionPreviousPlaylist;
}
QAction* MainWindow::nextPlaylistAction() const
{
    return ui_->actionNextPlaylist;
}

QMenu* MainWindow::windowMenu() const
{
    return ui_->menuWindow;
}
QAction* MainWindow::playlistWindowAction() const
{
    return ui_->actionPlaylistWindow;
}

QAction* MainWindow::zoomPaneAction(int viewNo) const
{
    switch (viewNo) {
    case 0:
        return ui_->actionEvenLayout;
    case 1:
        return ui_->actionZoomPane1;
    case 2:
        return ui_->actionZoomPane2;
    case 3:
        return ui_->actionZoomPane3;
    case 4:
        return ui_->actionZoomPane4;
    default:
        return nullptr;
    }
}

QWidget* MainWindow::paneSlot(int viewNo) const
{
    switch (viewNo) {
    case 1:
        return ui_->paneSlot1;
    case 2:
        return ui_->paneSlot2;
    case 3:
        return ui_->paneSlot3;
    case 4:
        return ui_->paneSlot4;
    default:
        return nullptr;
    }
}

void MainWindow::setPane(int viewNo, QWidget* pane)
{
    QWidget* slot = paneSlot(viewNo);
    if (!slot || !pane)
        return;
    slot->layout()->addWidget(pane);
}

void MainWindow::changeFrameSetButtonImage(bool canLoadFrameSet)
{
    frameSetButton_->setIcon(namedImage(canLoadFrameSet ? QStringLiteral("btn_ctrl_frame_set_on")
                                                        : QStringLiteral("btn_ctrl_frame_set_off")));
}

void MainWindow::addAuxiliaryWindowCommands()
{
    // Linux desktops keep Preferences in the Edit menu
    ui_->menuEdit->addSeparator();
    preferencesAction_ = ui_->menuEdit->addAction(QStringLiteral("&Preferences…"));
    preferencesAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    preferencesAction_->setMenuRole(QAction::PreferencesRole);

    controlWindowAction_ = ui_->menuWindow->addAction(QStringLiteral("&Control"));
    controlWindowAction_->setCheckable(true);
    controlWindowAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+K")));

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("menuHelp"));
    helpAction_ = helpMenu->addAction(QStringLiteral("Tetrapan &Help"));
    helpAction_->setShortcut(QKeySequence(Qt::Key_F1));
    aboutAction_ = helpMenu->addAction(QStringLiteral("&About Tetrapan"));
    aboutAction_->setMenuRole(QAction::AboutRole);
}

void MainWindow::addSyncLockCommand()
{
    syncLockAction_ = new QAction(QStringLiteral("Sync &Lock"), this);
    syncLockAction_->setObjectName(QStringLiteral("actionSyncLock"));
    syncLockAction_->setCheckable(true);
    syncLockAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+L")));
    syncLockAction_->setToolTip(QStringLiteral("Keep the playing movies on the first one's clock"));
    // beside the other way of playing the panes together, Auto Frame Play
    const QList<QAction*> items = ui_->menuView->actions();
    const qsizetype autoPlay = items.indexOf(ui_->actionAutoFramePlay);
    ui_->menuView->insertAction(autoPlay + 1 < items.size() ? items.at(autoPlay + 1) : nullptr,
                                syncLockAction_);
}

void MainWindow::addSeekBarCommand()
{
    showSeekBarAction_ = new QAction(QStringLiteral("Show Seek &Bar"), this);
    showSeekBarAction_->setObjectName(QStringLiteral("actionShowSeekBar"));
    showSeekBarAction_->setCheckable(true);
    showSeekBarAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+B")));
    showSeekBarAction_->setToolTip(QStringLiteral("Show the time line of all panes under them"));
    // beside the other thing shown or hidden over the panes, the dividers
    const QList<QAction*> items = ui_->menuView->actions();
    const qsizetype dividers = items.indexOf(ui_->actionShowDividers);
    ui_->menuView->insertAction(dividers + 1 < items.size() ? items.at(dividers + 1) : nullptr,
                                showSeekBarAction_);
}

void MainWindow::answerMenuKeysInEveryWindow()
{
    // Saving, quitting, undoing, the layout and the windows are the program's commands, not one window's:
    // their keys work wherever the user is, the playlist window and the palette included. None of them is
    // a key that a list, a pane or a text field uses for itself (a text field still takes its own Ctrl+Z).
    // The menu bar hides in full screen, and with it the keys of its items unless the window has them too.
    std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->menu()) {
                walk(action->menu());
            } else if (!action->shortcut().isEmpty()) {
                action->setShortcutContext(Qt::ApplicationShortcut);
                addAction(action);
            }
        }
    };
    for (QAction* top : ui_->menuBar->actions()) {
        if (top->menu())
            walk(top->menu());
    }
}

void MainWindow::answerPlainKeys()
{
    // Plain keys: they belong to this window, and to it also in full screen, where the menu bar hides; the
    // other windows type them into their text fields.
    const std::pair<QAction*, Qt::Key> keys[] = {{ui_->actionStepBack, Qt::Key_Comma},
                                                 {ui_->actionStepForward, Qt::Key_Period},
                                                 {loopAction_, Qt::Key_L},
                                                 {slowerAction_, Qt::Key_BracketLeft},
                                                 {fasterAction_, Qt::Key_BracketRight},
                                                 {normalSpeedAction_, Qt::Key_Backspace}};
    for (const auto& [action, key] : keys) {
        action->setShortcut(QKeySequence(key));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void MainWindow::addLoopCommand()
{
    loopAction_ = new QAction(QStringLiteral("&Loop A–B"), this);
    loopAction_->setObjectName(QStringLiteral("actionLoopAB"));
    loopAction_->setToolTip(QStringLiteral("Set the loop's start, then its end, then clear it"));
    ui_->menuPlayback->insertAction(ui_->actionSync, loopAction_);
}

void MainWindow::setTimelineBar(QWidget* bar)
{
    ui_->centralLayout->addWidget(bar);
}

void MainWindow::addSpeedAndZoomCommands()
{
    QMenu* playback = ui_->menuPlayback;
    QAction* afterSteps = playback->actions().value(playback->actions().indexOf(ui_->actionStepForward) + 1);
    playback->insertSeparator(afterSteps);
    slowerAction_ = new QAction(QStringLiteral("S&lower"), this);
    fasterAction_ = new QAction(QStringLiteral("&Faster"), this);
    normalSpeedAction_ = new QAction(QStringLiteral("&Normal Speed"), this);
    playback->insertActions(afterSteps, {slowerAction_, fasterAction_, normalSpeedAction_});
    auto* speed = new QLabel;
    speed->setObjectName(QStringLiteral("speedShown"));
    speed->setToolTip(QStringLiteral("The speed the movies play at"));
    speedShown_ = ui_->toolBar->addWidget(speed);
    speedShown_->setVisible(false);

    ui_->menuView->addSeparator();
    resetZoomAction_ = ui_->menuView->addAction(QStringLiteral("&Reset Zoom"));
    resetZoomAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+0")));
    zoomTogetherAction_ = ui_->menuView->addAction(QStringLiteral("Zoom Panes &Together"));
    zoomTogetherAction_->setCheckable(true);
}

QMenu* MainWindow::playbackMenu() const
{
    return ui_->menuPlayback;
}

QMenu* MainWindow::viewMenu() const
{
    return ui_->menuView;
}

void MainWindow::showSpeed(const QString& text)
{
    static_cast<QLabel*>(ui_->toolBar->widgetForAction(speedShown_))->setText(text);
    speedShown_->setVisible(!text.isEmpty());
}

QString MainWindow::shownSpeed() const
{
    return speedShown_->isVisible() ? static_cast<QLabel*>(ui_->toolBar->widgetForAction(speedShown_))->text()
                                    : QString();
}

void MainWindow::orderFront()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

bool MainWindow::windowShouldClose()
{
    return !closeRequestHandler_ || closeRequestHandler_();
}

} // namespace tetrapan
