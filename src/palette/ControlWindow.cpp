#include "palette/ControlWindow.h"

#include "layout/ButtonForMenu.h"
#include "layout/MenuFrameSet.h"
#include "panes/MovController.h"
#include "widgets/NamedImage.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace tetrapan {

namespace {

constexpr int GapToMainWindow = 8;
constexpr int ButtonSpacing = 2;
constexpr int WindowMargin = 6;

QFrame* separator()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

ControlWindow::ControlWindow(QWidget* mainWindow)
    : AuxiliaryWindow(mainWindow, Qt::Tool), menuFrameSet_(new MenuFrameSet(this))
{
    setWindowTitle(QLatin1String(MovController::ControlWindowTitle));
    setObjectName(QStringLiteral("controlWindow"));

    btnMoveBack_ = makeButton("btnMoveBack", {"btn_ctrl_move_back", "Previous playlist",
                                              "Choose the playlist above the selected one"});
    btnPlay_ = makeButton("btnPlay", PlayLook);
    btnMoveNext_ = makeButton(
        "btnMoveNext", {"btn_ctrl_move_next", "Next playlist", "Choose the playlist below the selected one"});
    btnSkipStart_ = makeButton(
        "btnSkipStart", {"btn_ctrl_skip_start", "Skip to start", "Back to the beginning of every movie"});
    btnSkipBack_ = makeButton("btnSkipBack", {"btn_ctrl_skip_back", "Skip back", "Skip every movie back"});
    btnSkipNext_ =
        makeButton("btnSkipNext", {"btn_ctrl_skip_next", "Skip forward", "Skip every movie forward"});
    btnSkipEnd_ = makeButton("btnSkipEnd", {"btn_ctrl_skip_end", "Skip to end",
                                            "On to the end of every movie, where they stay stopped"});
    btnSync_ = makeButton("btnSync", {"btn_ctrl_sync", "Synchronise",
                                      "Bring every movie in sight to the time of the first one"});
    btnSyncLock_ =
        makeButton("btnSyncLock", {"btn_ctrl_sync_lock", "Sync lock",
                                   "Keep the playing movies on the first one's clock (Ctrl+Shift+L)"});
    btnSyncLock_->setCheckable(true);
    btnMainWindow_ = makeButton("btnMainWindow", FullScreenLook);
    btnDivider_ = makeButton("btnDivider",
                             {"btn_ctrl_divider", "Dividers", "Show or hide the dividers between the panes"});
    btnController_ = makeButton("btnController", {"btn_ctrl_controller", "Controller bars",
                                                  "Show or hide the movies' controller bars"});
    btnScale_ = makeButton("btnScale", {"btn_ctrl_scale", "Scale to fit",
                                        "Stretch the movies over their panes, or keep their proportions"});
    btnSound_ = makeButton("btnSound", SoundLook);
    btnAlign_ = makeButton(
        "btnAlign", {"btn_ctrl_align", "Align", "Align the panes' movies by their sound or by a flash"});
    btnAlign_->setPopupMode(QToolButton::InstantPopup);
    static constexpr Look paneLooks[] = {
        {"btn_ctrl_frame", "Pane 1", "Show pane 1 (top left) alone; again for all four panes"},
        {"btn_ctrl_frame", "Pane 2", "Show pane 2 (bottom left) alone; again for all four panes"},
        {"btn_ctrl_frame", "Pane 3", "Show pane 3 (top right) alone; again for all four panes"},
        {"btn_ctrl_frame", "Pane 4", "Show pane 4 (bottom right) alone; again for all four panes"},
    };
    static constexpr const char* paneNames[] = {"btnFrame1", "btnFrame2", "btnFrame3", "btnFrame4"};
    for (int viewNo = 1; viewNo <= 4; ++viewNo) {
        QToolButton* button = makeButton(paneNames[viewNo - 1], paneLooks[viewNo - 1]);
        button->setProperty("tag", viewNo);
        btnFrames_[viewNo - 1] = button;
    }
    btnFrameSet_ = new ButtonForMenu;
    btnFrameSet_->setObjectName(QStringLiteral("btnFrameSet"));
    btnFrameSet_->setMenu(menuFrameSet_);
    btnFrameSet_->setAutoRaise(true);
    btnFrameSet_->setIconSize(QSize(IconSize, IconSize));
    setButtonLook(btnFrameSet_,
                  {"btn_ctrl_frame_set_off", "Frame set", "Load, save or remove the playlist's frame set"});

    // the skip kinds of the coordinator's changeAllMovieTime
    btnSkipStart_->setProperty("tag", MovController::SkipToStart);
    btnSkipBack_->setProperty("tag", MovController::SkipBackward);
    btnSkipNext_->setProperty("tag", MovController::SkipForward);
    btnSkipEnd_->setProperty("tag", MovController::SkipToEnd);
    for (QToolButton* button : {btnDivider_, btnController_, btnScale_, btnSound_})
        button->setCheckable(true);

    auto* playback = new QHBoxLayout;
    auto* view = new QHBoxLayout;
    for (QHBoxLayout* row : {playback, view})
        row->setSpacing(ButtonSpacing);
    for (QWidget* widget : std::initializer_list<QWidget*>{btnMoveBack_, btnPlay_, btnMoveNext_, separator(),
                                                           btnSkipStart_, btnSkipBack_, btnSkipNext_,
                                                           btnSkipEnd_, separator(), btnSync_, btnSyncLock_})
        playback->addWidget(widget);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{btnMainWindow_, btnFrameSet_, btnDivider_, separator(),
                                         btnController_, btnScale_, btnSound_, btnAlign_})
        view->addWidget(widget);
    view->addStretch();
    auto* rows = new QVBoxLayout;
    rows->setSpacing(ButtonSpacing);
    rows->addLayout(playback);
    rows->addLayout(view);

    auto* panes = new QGridLayout;
    panes->setSpacing(ButtonSpacing);
    panes->addWidget(btnFrames_[0], 0, 0);
    panes->addWidget(btnFrames_[1], 1, 0);
    panes->addWidget(btnFrames_[2], 0, 1);
    panes->addWidget(btnFrames_[3], 1, 1);

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(WindowMargin, WindowMargin, WindowMargin, WindowMargin);
    outer->setSpacing(WindowMargin);
    outer->addLayout(rows);
    outer->addWidget(separator());
    outer->addLayout(panes);
    // the palette keeps the size its buttons give it
    outer->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
}

ControlWindow::~ControlWindow() = default;

QToolButton* ControlWindow::makeButton(const char* objectName, const Look& look)
{
    auto* button = new QToolButton;
    button->setObjectName(QLatin1String(objectName));
    button->setAutoRaise(true);
    button->setIconSize(QSize(IconSize, IconSize));
    // the space bar belongs to the play button while the palette has the keyboard, so no button may take
    // the keyboard for itself and answer the space bar instead
    button->setFocusPolicy(Qt::NoFocus);
    setButtonLook(button, look);
    return button;
}

QToolButton* ControlWindow::btnFrame(int viewNo) const
{
    return viewNo >= 1 && viewNo <= 4 ? btnFrames_[viewNo - 1] : nullptr;
}

void ControlWindow::setButtonImage(QAbstractButton* button, const QString& name)
{
    if (!button || buttonImage(button) == name)
        return;
    button->setProperty(ImageNameProperty, name);
    button->setIcon(namedImage(name));
}

QString ControlWindow::buttonImage(const QAbstractButton* button)
{
    return button ? button->property(ImageNameProperty).toString() : QString();
}

void ControlWindow::setButtonDescription(QAbstractButton* button, const QString& name, const QString& toolTip)
{
    button->setAccessibleName(name);
    button->setAccessibleDescription(toolTip);
    button->setToolTip(toolTip);
}

void ControlWindow::setButtonLook(QAbstractButton* button, const Look& look)
{
    setButtonImage(button, QLatin1String(look.image));
    setButtonDescription(button, QLatin1String(look.name), QLatin1String(look.toolTip));
}

void ControlWindow::placeBelow(const QWidget& mainWindow)
{
    const QRect main = mainWindow.frameGeometry();
    const QSize size = frameGeometry().size();
    QPoint topLeft(main.center().x() - size.width() / 2, main.bottom() + GapToMainWindow);
    const QScreen* screen = mainWindow.screen();
    if (screen && !screen->availableGeometry().contains(QRect(topLeft, size)))
        topLeft.setY(main.bottom() - size.height() - GapToMainWindow);
    moveOnScreenOf(mainWindow, topLeft);
}

} // namespace tetrapan
