#pragma once

#include <QObject>
#include <QString>

#include <array>

namespace tetrapan {

class ControlWindow;
class FullScreenWindow;
class MovController;
class PlaylistOutlineView;
class QTMovieSubView;
class SettingsDomain;
class TBArrayController;

// The control palette's controller. It opens and closes the palette, keeps its place across runs and
// remembers whether it was open, and keeps every button's enabled state, image and on/off state in step
// with the panes, the playlist selection, the main window's full-screen mode and the settings. Every query
// is asked afresh at each refresh; the pane coordinator says when to refresh.
//
// On/off buttons: Dividers is on while the dividers show (optDividerEnable); Controller bars while a pane
// in sight shows its bar; Scale to fit while a pane in sight stretches its movie; Sound while a pane in
// sight is not muted, and its image then shows a sounding speaker (a crossed-out one when all are muted).
class ViewControl : public QObject {
    Q_OBJECT
public:
    static constexpr const char* RectWindowControl = "rectWindowControl";
    static constexpr const char* OptIsController = "optIsController";
    static constexpr const char* OptDividerEnable = "optDividerEnable";

    explicit ViewControl(SettingsDomain& settings, QObject* parent = nullptr);
    ~ViewControl() override;

    // outlets
    TBArrayController* tbArrayController = nullptr;
    MovController* movController = nullptr;
    ControlWindow* controlWindow = nullptr;
    FullScreenWindow* mainWindow = nullptr;
    PlaylistOutlineView* olvPlaylist = nullptr;
    // qtView1 to qtView4
    std::array<QTMovieSubView*, 4> qtView{};

    // Puts the palette where it was last, gives the play button the space bar and starts following the
    // palette's closing, the main window's mode and the settings.
    void awakeFromNib();
    // At start, once the main window is on screen: the palette opens if it was open at the last quit.
    void openIfWasOpen();

    void openControlWindow(QObject* sender = nullptr);
    // Closing by this command (the Window menu) keeps the palette closed at the next start; its own close
    // box does not.
    void closeControlWindow(QObject* sender = nullptr);
    void changeControlWindow(QObject* sender = nullptr);
    bool isDisplayControlWindow() const;
    void setControlWindowTitle(const QString& title);
    // The playing speed after the title while it is not the normal one ("" then).
    void setSpeedText(const QString& text);

    void windowWillCloseControl();
    void windowDidResizeMain();
    void observeValueForKeyPath(const QString& keyPath);
    // Quitting does not close windows: an open palette's place is stored now.
    void applicationWillTerminate();

    // Refreshes, each reading the present state.
    void initControlWindow();
    void changePlayButtonEnabled();
    void changePlayButtonImage();
    void changeMoveButtonEnabled();
    void changeMainWindowButtonImage();
    void changeFrameButtonImage();
    static QString frameButtonImage(bool marked, bool available);
    void changeFrameSetButtonImage();
    // Not called: the frame-set menu's Reset is always there, so its button stays enabled.
    void changeFrameSetButtonEnabled();
    void changeSyncButtonEnabled();
    void changeDividerButtonState();
    void changeControllerButtonState();
    void changeScaleButtonState();
    void changeSoundButtonState();

private:
    void showControlWindow(bool makeKey);
    void changeSkipButtonDescriptions();

    SettingsDomain& settings_;
    bool hasPlace_ = false;
    bool awake_ = false;
    // the title as the coordinator last gave it, and the speed after it
    QString title_;
    QString speedText_;
};

} // namespace tetrapan
