#include "palette/ViewControl.h"

#include "layout/ButtonForMenu.h"
#include "layout/FullScreenWindow.h"
#include "library/TBArrayController.h"
#include "palette/ControlWindow.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/PlaylistOutlineView.h"
#include "widgets/userDefaultsViewState.h"

#include <QToolButton>

#include <algorithm>

namespace tetrapan {

namespace {

void setEnabled(QAbstractButton* button, bool enabled)
{
    if (button)
        button->setEnabled(enabled);
}

void setChecked(QAbstractButton* button, bool checked)
{
    if (button)
        button->setChecked(checked);
}

QString seconds(float value)
{
    return QString::number(static_cast<double>(value), 'g', 6);
}

} // namespace

ViewControl::ViewControl(SettingsDomain& settings, QObject* parent) : QObject(parent), settings_(settings) {}

ViewControl::~ViewControl() = default;

void ViewControl::awakeFromNib()
{
    if (awake_ || !controlWindow)
        return;
    awake_ = true;
    const QString rectKey = QLatin1String(RectWindowControl);
    hasPlace_ = settings_.hasStoredValue(rectKey);
    userDefaultsExtension::setWindowPosition(settings_, controlWindow, rectKey);
    // the space bar plays and stops while the palette has the keyboard, as it does in the panes
    controlWindow->btnPlay()->setShortcut(QKeySequence(Qt::Key_Space));
    changeSkipButtonDescriptions();

    connect(controlWindow, &ControlWindow::windowWillClose, this, &ViewControl::windowWillCloseControl);
    if (mainWindow)
        connect(mainWindow, &FullScreenWindow::fullScreenChanged, this, &ViewControl::windowDidResizeMain);
    connect(&settings_, &SettingsDomain::valueChanged, this, &ViewControl::observeValueForKeyPath);
}

void ViewControl::openIfWasOpen()
{
    if (userDefaultsExtension::defaultBoolValue(settings_, QLatin1String(OptIsController)))
        showControlWindow(false);
}

void ViewControl::openControlWindow(QObject*)
{
    showControlWindow(true);
}

void ViewControl::showControlWindow(bool makeKey)
{
    if (!controlWindow)
        return;
    initControlWindow();
    // the first time ever, the palette goes below the main window rather than where the window manager
    // happens to put it
    if (!hasPlace_ && mainWindow && !controlWindow->isVisible())
        controlWindow->placeBelow(*mainWindow);
    hasPlace_ = true;
    controlWindow->orderFront(makeKey);
    userDefaultsExtension::setDefaultBoolValue(settings_, true, QLatin1String(OptIsController));
}

void ViewControl::closeControlWindow(QObject*)
{
    if (controlWindow)
        controlWindow->close();
    userDefaultsExtension::setDefaultBoolValue(settings_, false, QLatin1String(OptIsController));
}

void ViewControl::changeControlWindow(QObject*)
{
    if (isDisplayControlWindow())
        closeControlWindow();
    else
        openControlWindow();
}

bool ViewControl::isDisplayControlWindow() const
{
    return controlWindow && controlWindow->isVisible();
}

void ViewControl::setControlWindowTitle(const QString& title)
{
    title_ = title;
    if (controlWindow)
        controlWindow->setWindowTitle(speedText_.isEmpty() ? title
                                                           : title + QStringLiteral(" \u2014 ") + speedText_);
}

void ViewControl::setSpeedText(const QString& text)
{
    speedText_ = text;
    if (title_.isNull() && controlWindow)
        title_ = controlWindow->windowTitle();
    setControlWindowTitle(title_);
}

void ViewControl::windowWillCloseControl()
{
    userDefaultsExtension::saveWindowRect(settings_, controlWindow, QLatin1String(RectWindowControl));
}

void ViewControl::windowDidResizeMain()
{
    changeMainWindowButtonImage();
}

void ViewControl::observeValueForKeyPath(const QString& keyPath)
{
    if (keyPath == QLatin1String(OptDividerEnable))
        changeDividerButtonState();
    else if (keyPath == QLatin1String(QTMovieSubView::OptSkipTime))
        changeSkipButtonDescriptions();
    else if (keyPath == QLatin1String(QTMovieSubView::OptPlayVolume))
        changeSoundButtonState();
}

void ViewControl::applicationWillTerminate()
{
    if (isDisplayControlWindow())
        windowWillCloseControl();
}

// Refreshes

void ViewControl::initControlWindow()
{
    changePlayButtonEnabled();
    changeMoveButtonEnabled();
    changePlayButtonImage();
    changeDividerButtonState();
    changeMainWindowButtonImage();
    changeFrameButtonImage();
    changeFrameSetButtonImage();
    changeSyncButtonEnabled();
    // the on/off buttons show their state from the moment the palette opens
    changeControllerButtonState();
    changeScaleButtonState();
    changeSoundButtonState();
}

void ViewControl::changePlayButtonEnabled()
{
    if (!controlWindow)
        return;
    const bool playable = movController && movController->anyMovieIsPlayable();
    ControlWindow& window = *controlWindow;
    for (QToolButton* button :
         {window.btnPlay(), window.btnController(), window.btnScale(), window.btnSound(),
          window.btnSkipBack(), window.btnSkipNext(), window.btnSkipStart(), window.btnSkipEnd()})
        setEnabled(button, playable);
}

void ViewControl::changePlayButtonImage()
{
    if (controlWindow)
        ControlWindow::setButtonLook(controlWindow->btnPlay(),
                                     movController && movController->anyMovieIsPlaying()
                                         ? ControlWindow::StopLook
                                         : ControlWindow::PlayLook);
}

void ViewControl::changeMoveButtonEnabled()
{
    if (!controlWindow)
        return;
    setEnabled(controlWindow->btnMoveBack(), olvPlaylist && olvPlaylist->canMoveSelectedRowIndex(0));
    setEnabled(controlWindow->btnMoveNext(), olvPlaylist && olvPlaylist->canMoveSelectedRowIndex(1));
}

void ViewControl::changeMainWindowButtonImage()
{
    if (controlWindow)
        ControlWindow::setButtonLook(controlWindow->btnMainWindow(), mainWindow && mainWindow->isFullScreen()
                                                                         ? ControlWindow::LeaveFullScreenLook
                                                                         : ControlWindow::FullScreenLook);
}

void ViewControl::changeFrameButtonImage()
{
    if (!controlWindow)
        return;
    std::array<bool, 4> display{};
    std::array<bool, 4> available{};
    for (int i = 0; i < 4; ++i) {
        display[i] = qtView[i] && qtView[i]->isDisplay();
        available[i] = qtView[i] && qtView[i]->isAvailable();
    }
    // with every pane in sight none is singled out
    const bool allShown = std::all_of(display.cbegin(), display.cend(), [](bool shown) { return shown; });
    for (int i = 0; i < 4; ++i)
        ControlWindow::setButtonImage(controlWindow->btnFrame(i + 1),
                                      frameButtonImage(!allShown && display[i], available[i]));
}

QString ViewControl::frameButtonImage(bool marked, bool available)
{
    if (marked)
        return available ? QStringLiteral("btn_ctrl_frame_play")
                         : QStringLiteral("btn_ctrl_frame_noavail_play");
    return available ? QStringLiteral("btn_ctrl_frame") : QStringLiteral("btn_ctrl_frame_noavail");
}

void ViewControl::changeFrameSetButtonImage()
{
    if (!controlWindow)
        return;
    const bool canLoad = tbArrayController && tbArrayController->canLoadFrameSet();
    ControlWindow::setButtonImage(controlWindow->btnFrameSet(),
                                  canLoad ? QStringLiteral("btn_ctrl_frame_set_on")
                                          : QStringLiteral("btn_ctrl_frame_set_off"));
}

void ViewControl::changeFrameSetButtonEnabled()
{
    if (controlWindow)
        setEnabled(controlWindow->btnFrameSet(), tbArrayController && tbArrayController->canEditFrameSet());
}

void ViewControl::changeSyncButtonEnabled()
{
    if (controlWindow)
        setEnabled(controlWindow->btnSync(), movController && movController->canSyncMovieTime());
}

void ViewControl::changeDividerButtonState()
{
    if (controlWindow)
        setChecked(controlWindow->btnDivider(),
                   userDefaultsExtension::defaultBoolValue(settings_, QLatin1String(OptDividerEnable)));
}

void ViewControl::changeControllerButtonState()
{
    if (controlWindow)
        setChecked(controlWindow->btnController(), movController && movController->anyMovieIsController());
}

void ViewControl::changeScaleButtonState()
{
    if (controlWindow)
        setChecked(controlWindow->btnScale(), movController && movController->anyMovieIsScaleToFit());
}

void ViewControl::changeSoundButtonState()
{
    if (!controlWindow)
        return;
    QToolButton* button = controlWindow->btnSound();
    const bool sound = movController && movController->anyMovieIsSound();
    setChecked(button, sound);
    const ControlWindow::Look& look = sound ? ControlWindow::SoundLook : ControlWindow::MutedLook;
    ControlWindow::setButtonLook(button, look);
    // the volume starts at nothing: a user who unmutes and hears nothing learns where the volume is
    const float volume =
        userDefaultsExtension::defaultFloatValue(settings_, QLatin1String(QTMovieSubView::OptPlayVolume));
    if (volume <= 0.0f)
        ControlWindow::setButtonDescription(
            button, QLatin1String(look.name),
            QLatin1String(look.toolTip) + QStringLiteral(" (the volume is 0 %: raise it in Preferences)"));
}

void ViewControl::changeSkipButtonDescriptions()
{
    if (!controlWindow)
        return;
    const QString step = seconds(
        userDefaultsExtension::defaultFloatValue(settings_, QLatin1String(QTMovieSubView::OptSkipTime)));
    ControlWindow::setButtonDescription(controlWindow->btnSkipBack(), QStringLiteral("Skip back"),
                                        QStringLiteral("Skip every movie back %1 seconds").arg(step));
    ControlWindow::setButtonDescription(controlWindow->btnSkipNext(), QStringLiteral("Skip forward"),
                                        QStringLiteral("Skip every movie forward %1 seconds").arg(step));
}

} // namespace tetrapan
