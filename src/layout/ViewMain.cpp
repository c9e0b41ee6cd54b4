#include "layout/ViewMain.h"

#include "layout/FullScreenWindow.h"
#include "layout/SplitSubView.h"
#include "library/FrameSet.h"
#include "library/LibrarySchema.h"
#include "library/TBArrayController.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/userDefaultsExtension.h"
#include "widgets/userDefaultsViewState.h"

#include <QAction>

#include <ctime>
#include <random>
#include <utility>

namespace tetrapan {

namespace {

// Menu items and buttons carry their view number in the dynamic property "tag".
int tagOf(const QObject* sender)
{
    return sender ? sender->property("tag").toInt() : 0;
}

// A frame-set command's slot: a QAction's data or a control's "representedObject"; 0 without a sender.
int slotOf(const QObject* sender)
{
    if (!sender)
        return frameSet::SystemSlot;
    if (const auto* action = qobject_cast<const QAction*>(sender); action && action->data().isValid())
        return action->data().toInt();
    return sender->property("representedObject").toInt();
}

QString key(const char* name)
{
    return QLatin1String(name);
}

int firstLength(const SplitSubView* splitView, Qt::Orientation orientation)
{
    const QWidget* first = splitView->widget(0);
    return first ? (orientation == Qt::Horizontal ? first->width() : first->height()) : 0;
}

} // namespace

quint32 ViewMain::drawSeededWithTime()
{
    std::mt19937 generator(static_cast<std::mt19937::result_type>(std::time(nullptr)));
    return generator();
}

ViewMain::ViewMain(SettingsDomain& settings, Scheduler& scheduler, QObject* parent)
    : QObject(parent), settings_(settings), scheduler_(scheduler)
{
}

ViewMain::~ViewMain()
{
    scheduler_.cancel(changeAutoFrameTimer_);
}

void ViewMain::awakeFromNib()
{
    userDefaultsExtension::setWindowRect(settings_, mainWindow, key(RectWindowMain));
    userDefaultsExtension::setSplitViewRect(settings_, spvMain, key(RectSplitViewMain));
    userDefaultsExtension::setSplitViewRect(settings_, spvLeft, key(RectSplitViewLeft));
    userDefaultsExtension::setSplitViewRect(settings_, spvRight, key(RectSplitViewRight));
    // dividers are shown at every start, whatever the last run left
    userDefaultsExtension::setDefaultBoolValue(settings_, true, key(OptDividerEnable));
    setDividerSize(userDefaultsExtension::defaultBoolValue(settings_, key(OptDividerEnable)));
    for (SplitSubView* splitView : {spvMain, spvLeft, spvRight}) {
        if (splitView)
            connect(splitView, &SplitSubView::liveResizeEnded, this, &ViewMain::splitViewDidEndLiveResize);
    }
}

// Dividers

void ViewMain::changeDividerSize(QObject*)
{
    const bool enabled = !userDefaultsExtension::defaultBoolValue(settings_, key(OptDividerEnable));
    setDividerSize(enabled);
    userDefaultsExtension::setDefaultBoolValue(settings_, enabled, key(OptDividerEnable));
}

void ViewMain::setDividerSize(bool enabled)
{
    const float thickness = enabled ? DividerThickness : 0.0f;
    for (SplitSubView* splitView : {spvMain, spvLeft, spvRight}) {
        if (splitView)
            splitView->setDividerSize(thickness);
    }
    displayViewFrame();
}

void ViewMain::displayViewFrame()
{
    for (SplitSubView* splitView : {spvMain, spvLeft, spvRight}) {
        if (splitView)
            splitView->adjustSubviews();
    }
}

void ViewMain::splitViewDidEndLiveResize()
{
    if (!movController)
        return;
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        if (QTMovieSubView* pane = movController->qtView(n))
            pane->viewDidEndLiveResize();
    }
}

// Moving the dividers

bool ViewMain::deferWhileMoving(std::function<void()> change)
{
    if (!isMoving_)
        return false;
    pendingMove_ = std::move(change);
    return true;
}

void ViewMain::runDeferredChange()
{
    if (auto change = std::exchange(pendingMove_, {}); change && !closing_)
        change();
}

void ViewMain::slideDividers(std::initializer_list<std::pair<SplitSubView*, QPointF>> moves)
{
    isMoving_ = true;
    slideMoves_ = moves;
    QList<int> roomsThen;
    for (const auto& move : std::as_const(slideMoves_))
        roomsThen << move.first->room();
    for (qsizetype i = 0; i < slideMoves_.size(); ++i) {
        auto& [splitView, position] = slideMoves_[i];
        // the window resized while an earlier divider slid: this one still goes to its share
        if (const int room = splitView->room(); roomsThen[i] > 0 && room != roomsThen[i])
            position *= double(room) / roomsThen[i];
        splitView->setSplitterPosition(position, true);
    }
    slideMoves_.clear();
    isMoving_ = false;
}

void ViewMain::finishSlide()
{
    for (const auto& [splitView, position] : std::as_const(slideMoves_))
        splitView->setSplitterPosition(position, false);
}

void ViewMain::maximizeFrameFromMenu(QObject* sender)
{
    maximizeSplitViewFrame(tagOf(sender));
}

void ViewMain::maximizeFrameFromButton(QObject* sender)
{
    maximizeSplitViewFrame(tagOf(sender));
}

bool ViewMain::stopForSlide()
{
    // a resume still waiting from a skip or a sync would start the panes in the middle of the slide, and
    // start those it leaves out of sight: it is the slide's to give
    const bool playing = movController->anyPlayingOrAboutToPlay();
    movController->cancelPendingResumes();
    movController->setAllMoviePlay(false);
    return playing;
}

void ViewMain::playOnAfterSlide(int viewNo, bool wasPlaying)
{
    // A load under way (a playlist chosen, its frame set sliding in; its delay run out during the slide)
    // starts its panes together once their files are in: a pane still opening shows the playlist left, and
    // would play it, ahead of the others.
    if (movController->isLoading()) {
        if (wasPlaying)
            movController->playWhenLoaded();
        return;
    }
    // a quit inside the slide stopped them for good
    movController->setMoviePlay(viewNo, wasPlaying && !closing_);
}

void ViewMain::maximizeSplitViewFrame(int viewNo)
{
    if (!movController || !spvMain || !spvLeft || !spvRight)
        return;
    if (deferWhileMoving([this, viewNo] { maximizeSplitViewFrame(viewNo); }))
        return;
    // asking again for the pane already alone brings the even layout back
    if (viewNo == movController->displayedViewNo())
        viewNo = 0;
    const bool wasPlaying = stopForSlide();
    if (viewNo < 0 || viewNo > MovController::PaneCount)
        return;

    const float width = static_cast<float>(spvMain->width());
    const float height = static_cast<float>(spvMain->height());
    const float mainRoom = width - spvMain->dividerThickness();
    QPointF point;
    switch (viewNo) {
    case 0:
        point = QPointF(mainRoom * 0.5f, (height - spvMain->dividerThickness()) * 0.5f);
        slideDividers({{spvMain, point}, {spvLeft, point}, {spvRight, point}});
        break;
    case 1:
        point = QPointF(mainRoom, height - spvLeft->dividerThickness());
        slideDividers({{spvMain, point}, {spvLeft, point}});
        break;
    case 2:
        point = QPointF(mainRoom, 0);
        slideDividers({{spvMain, point}, {spvLeft, point}});
        break;
    case 3:
        point = QPointF(0, height - spvRight->dividerThickness());
        slideDividers({{spvMain, point}, {spvRight, point}});
        break;
    case 4:
        slideDividers({{spvMain, point}, {spvRight, point}});
        break;
    }
    playOnAfterSlide(viewNo, wasPlaying);
    movController->changeAllControlButtonState();
    runDeferredChange();
}

// Frame sets

ObjectId ViewMain::selectedPlaylist() const
{
    return tbArrayController ? tbArrayController->getSelectedObject(LibrarySchema::Playlist) : NoObject;
}

QString ViewMain::frameSetOf(ObjectId playlist) const
{
    const ObjectContext* context = tbArrayController->getManagedObjectContext(LibrarySchema::Playlist);
    return context ? context->value(playlist, LibrarySchema::FrameSet).toString() : QString();
}

void ViewMain::storeFrameSet(ObjectId playlist, const QString& text, const QString& undoName)
{
    ObjectContext* context = tbArrayController->getManagedObjectContext(LibrarySchema::Playlist);
    // an unchanged frame set is not a change of the library, nor a step to undo
    if (!context || context->value(playlist, LibrarySchema::FrameSet).toString() == text)
        return;
    context->beginUndoGroup(undoName);
    context->setValue(playlist, LibrarySchema::FrameSet, text);
    context->endUndoGroup();
}

void ViewMain::loadFramePosition(QObject* sender)
{
    loadSplitViewFrame(slotOf(sender));
}

void ViewMain::saveFramePosition(QObject* sender)
{
    saveSplitViewFrame(slotOf(sender));
}

void ViewMain::removeFramePosition(QObject* sender)
{
    removeSplitViewFrame(slotOf(sender));
}

void ViewMain::loadSplitViewFrame(int slot)
{
    if (!movController || !spvMain || !spvLeft || !spvRight)
        return;
    if (deferWhileMoving([this, slot] { loadSplitViewFrame(slot); }))
        return;
    const ObjectId playlist = selectedPlaylist();
    if (playlist == NoObject || !tbArrayController->canLoadFrameSet())
        return;
    const std::optional<FrameSetItem> item = frameSet::findSlot(frameSetOf(playlist), slot);
    if (!item)
        return;
    const float x = (static_cast<float>(spvMain->width()) - spvMain->dividerThickness()) * item->main;
    const float y1 = (static_cast<float>(spvLeft->height()) - spvLeft->dividerThickness()) * item->left;
    const float y2 = (static_cast<float>(spvRight->height()) - spvRight->dividerThickness()) * item->right;

    const bool wasPlaying = stopForSlide();
    slideDividers({{spvMain, QPointF(x, 0)}, {spvLeft, QPointF(0, y1)}, {spvRight, QPointF(0, y2)}});
    playOnAfterSlide(0, wasPlaying);
    movController->changeAllControlButtonState();
    movController->changeFrameSetButtonImage();
    runDeferredChange();
}

void ViewMain::saveSplitViewFrame(int slot)
{
    if (!spvMain || !spvLeft || !spvRight)
        return;
    const FrameSetItem item{
        slot,
        frameSet::ratio(static_cast<float>(firstLength(spvMain, Qt::Horizontal)),
                        static_cast<float>(spvMain->width()), spvMain->dividerThickness()),
        frameSet::ratio(static_cast<float>(firstLength(spvLeft, Qt::Vertical)),
                        static_cast<float>(spvLeft->height()), spvLeft->dividerThickness()),
        frameSet::ratio(static_cast<float>(firstLength(spvRight, Qt::Vertical)),
                        static_cast<float>(spvRight->height()), spvRight->dividerThickness()),
    };
    const ObjectId playlist = selectedPlaylist();
    if (playlist == NoObject || !tbArrayController->canEditFrameSet())
        return;
    storeFrameSet(playlist, frameSet::saveSlot(frameSetOf(playlist), item), QStringLiteral("Save Frame Set"));
    if (movController)
        movController->changeFrameSetButtonImage();
}

void ViewMain::removeSplitViewFrame(int slot)
{
    const ObjectId playlist = selectedPlaylist();
    if (playlist == NoObject)
        return;
    storeFrameSet(playlist, frameSet::removeSlot(frameSetOf(playlist), slot),
                  QStringLiteral("Remove Frame Set"));
    if (movController)
        movController->changeFrameSetButtonImage();
}

// Automatic frame play

void ViewMain::changeAutoFramePlay(QObject*)
{
    if (isAutoFramePlay()) {
        scheduler_.cancel(changeAutoFrameTimer_);
        changeAutoFrameTimer_ = Scheduler::NoTask;
    } else {
        changeAutoFrameTimer_ =
            scheduler_.scheduleRepeating(AutoFramePlayInterval, [this] { setAutoFramePlay(); });
    }
    Q_EMIT autoFramePlayChanged(isAutoFramePlay());
}

bool ViewMain::isAutoFramePlay() const
{
    return scheduler_.isPending(changeAutoFrameTimer_);
}

void ViewMain::setAutoFramePlay()
{
    maximizeSplitViewFrame(static_cast<int>(randomDraw_() % 4) + 1);
}

// The window

void ViewMain::setMainWindowTitle(const QString& title)
{
    if (mainWindow)
        mainWindow->setWindowTitle(title);
}

void ViewMain::windowWillCloseMain()
{
    closing_ = true;
    if (movController)
        movController->setAllMoviePlay(false);
    // quitting (a signal, say) inside the slide's animation
    finishSlide();
    // The frame stored is the normal window's, never the full-screen or maximised one; taken before leaving
    // full screen, which the window manager may answer only later.
    if (mainWindow) {
        const QRect windowed = mainWindow->windowedFrame();
        mainWindow->setFullScreen(false, false);
        userDefaultsExtension::saveWindowRect(settings_, windowed, key(RectWindowMain));
    }
    userDefaultsExtension::saveSplitViewRect(settings_, spvMain, key(RectSplitViewMain));
    userDefaultsExtension::saveSplitViewRect(settings_, spvLeft, key(RectSplitViewLeft));
    userDefaultsExtension::saveSplitViewRect(settings_, spvRight, key(RectSplitViewRight));
}

} // namespace tetrapan
