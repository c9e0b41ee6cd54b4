#pragma once

#include "palette/AuxiliaryWindow.h"

#include <QList>
#include <QString>

#include <array>

class QAbstractButton;
class QToolButton;

namespace tetrapan {

class ButtonForMenu;
class MenuFrameSet;

// The control palette: a small floating window of buttons over the main window. One row drives playback
// (previous and next playlist, play or stop, the four skips, synchronise), one the view (full screen, frame
// set, dividers, controller bars, scaling, sound); beside them one button per pane, laid out as the panes
// are (1 top left, 2 bottom left, 3 top right, 4 bottom right). The controller (ViewControl) keeps the
// buttons' images and states; the composition root connects their commands.
class ControlWindow : public AuxiliaryWindow {
    Q_OBJECT
public:
    static constexpr int IconSize = 24;
    // The dynamic property holding the name of the image a button shows.
    static constexpr const char* ImageNameProperty = "imageName";

    // What a button shows and says: its image, its name for assistive technology and its tool tip.
    struct Look {
        const char* image;
        const char* name;
        const char* toolTip;
    };
    // The looks of the buttons whose look follows a state.
    static constexpr Look PlayLook{"btn_ctrl_play", "Play", "Play all movies (Space)"};
    static constexpr Look StopLook{"btn_ctrl_stop", "Stop", "Stop all movies (Space)"};
    static constexpr Look FullScreenLook{"btn_ctrl_full_on", "Full screen",
                                         "Let the main window fill the screen"};
    static constexpr Look LeaveFullScreenLook{"btn_ctrl_full_off", "Leave full screen",
                                              "Give the main window its frame back"};
    static constexpr Look SoundLook{"btn_ctrl_sound", "Sound", "Mute all movies"};
    static constexpr Look MutedLook{"btn_ctrl_sound_off", "Sound", "Unmute all movies"};

    explicit ControlWindow(QWidget* mainWindow);
    ~ControlWindow() override;

    QToolButton* btnPlay() const { return btnPlay_; }
    QToolButton* btnMoveBack() const { return btnMoveBack_; }
    QToolButton* btnMoveNext() const { return btnMoveNext_; }
    QToolButton* btnMainWindow() const { return btnMainWindow_; }
    // viewNo 1 to 4; nullptr for any other number
    QToolButton* btnFrame(int viewNo) const;
    ButtonForMenu* btnFrameSet() const { return btnFrameSet_; }
    MenuFrameSet* menuFrameSet() const { return menuFrameSet_; }
    QToolButton* btnSync() const { return btnSync_; }
    // Pressed while the sync lock is on.
    QToolButton* btnSyncLock() const { return btnSyncLock_; }
    QToolButton* btnDivider() const { return btnDivider_; }
    QToolButton* btnController() const { return btnController_; }
    QToolButton* btnScale() const { return btnScale_; }
    QToolButton* btnSound() const { return btnSound_; }
    // Aligning the panes by sound or by a flash: a button that opens a menu of those commands.
    QToolButton* btnAlign() const { return btnAlign_; }
    QToolButton* btnSkipBack() const { return btnSkipBack_; }
    QToolButton* btnSkipNext() const { return btnSkipNext_; }
    QToolButton* btnSkipStart() const { return btnSkipStart_; }
    QToolButton* btnSkipEnd() const { return btnSkipEnd_; }

    // Shows the named image on the button; the name stays readable through buttonImage.
    static void setButtonImage(QAbstractButton* button, const QString& name);
    static QString buttonImage(const QAbstractButton* button);
    // What the button does, for the pointer's tool tip and for assistive technology.
    static void setButtonDescription(QAbstractButton* button, const QString& name, const QString& toolTip);
    static void setButtonLook(QAbstractButton* button, const Look& look);

    // Centred below the main window when the screen has room there, otherwise over its lower edge.
    void placeBelow(const QWidget& mainWindow);

private:
    QToolButton* makeButton(const char* objectName, const Look& look);

    QToolButton* btnPlay_;
    QToolButton* btnMoveBack_;
    QToolButton* btnMoveNext_;
    QToolButton* btnMainWindow_;
    std::array<QToolButton*, 4> btnFrames_{};
    MenuFrameSet* menuFrameSet_;
    ButtonForMenu* btnFrameSet_;
    QToolButton* btnSync_;
    QToolButton* btnSyncLock_;
    QToolButton* btnDivider_;
    QToolButton* btnController_;
    QToolButton* btnScale_;
    QToolButton* btnAlign_ = nullptr;
    QToolButton* btnSound_;
    QToolButton* btnSkipBack_;
    QToolButton* btnSkipNext_;
    QToolButton* btnSkipStart_;
    QToolButton* btnSkipEnd_;
};

} // namespace tetrapan
