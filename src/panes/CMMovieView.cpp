#include "panes/CMMovieView.h"

#include "library/Movie.h"
#include "panes/MenuLine.h"
#include "panes/MovController.h"
#include "panes/PaneAligner.h"
#include "panes/PaneCompare.h"
#include "panes/PaneNudge.h"
#include "panes/PaneOffsetDialog.h"
#include "panes/PaneOffsets.h"
#include "panes/PanePlacing.h"
#include "panes/QTMovieSubView.h"
#include "panes/TimeForm.h"

#include <QHash>

#include <optional>

namespace tetrapan {

CMMovieView::CMMovieView(QWidget* parent) : QMenu(parent) {}

CMMovieView::~CMMovieView() = default;

void CMMovieView::awakeFromNib()
{
    if (awake_)
        return;
    awake_ = true;
    connect(this, &QMenu::aboutToShow, this, &CMMovieView::menuNeedsUpdate);
    menuCopy_ = new QMenu(this);
}

QStringList CMMovieView::createMenuArray()
{
    return {
        QStringLiteral("Play,changeMoviePlay:,,play"),
        QStringLiteral("Stop,changeMoviePlay:,,stop"),
        QStringLiteral("Sync Time,syncMovieTime:,,sync"),
        QStringLiteral("Set Offset Here,changeMovieOffset:,,offset"),
        QStringLiteral("Clear Offset,clearMovieOffset:,,clearOffset"),
        QStringLiteral("Offset and Rate…,editMovieOffset:,,editOffset"),
        QStringLiteral("Nudge a Frame Earlier,nudgeMovieOffset:,0,nudge"),
        QStringLiteral("Nudge a Frame Later,nudgeMovieOffset:,1,nudge"),
        QStringLiteral("Nudge 10 ms Earlier,nudgeMovieOffset:,2,nudge"),
        QStringLiteral("Nudge 10 ms Later,nudgeMovieOffset:,3,nudge"),
        QStringLiteral("Align This Pane by Sound,alignMovieBySound:,,align"),
        QStringLiteral("-,,,"),
        QStringLiteral("Zoom,changeMovieFrame:,,zoom"),
        QStringLiteral("-,,,"),
        QStringLiteral("Controller,changeMovieController:,,ctrl"),
        QStringLiteral("Scale To Fit,changeMovieAspect:,,aspect"),
        QStringLiteral("Mute,changeMovieMuted:,,muted"),
        QStringLiteral("-,,,"),
        QStringLiteral("Compare with Pane 1,compareMovieView:,1,compare"),
        QStringLiteral("Compare with Pane 2,compareMovieView:,2,compare"),
        QStringLiteral("Compare with Pane 3,compareMovieView:,3,compare"),
        QStringLiteral("Compare with Pane 4,compareMovieView:,4,compare"),
        QStringLiteral("-,,,"),
        QStringLiteral("Copy To..,nullAction:,,copy"),
        QStringLiteral("-,,,"),
        QStringLiteral("Open Movie…,openMovieFile:,,open"),
        QStringLiteral("Remove,removeMovieView:,,remove"),
    };
}

QStringList CMMovieView::createCopyMenuArray()
{
    return {
        QStringLiteral("Frame 1,copyMovieView:,1,1"),
        QStringLiteral("Frame 2,copyMovieView:,2,2"),
        QStringLiteral("Frame 3,copyMovieView:,3,3"),
        QStringLiteral("Frame 4,copyMovieView:,4,4"),
    };
}

CMMovieView::Action CMMovieView::actionNamed(const QString& name)
{
    static const QHash<QString, Action> actions{
        {QStringLiteral("changeMoviePlay:"), &CMMovieView::changeMoviePlay},
        {QStringLiteral("syncMovieTime:"), &CMMovieView::syncMovieTime},
        {QStringLiteral("changeMovieFrame:"), &CMMovieView::changeMovieFrame},
        {QStringLiteral("changeMovieController:"), &CMMovieView::changeMovieController},
        {QStringLiteral("changeMovieAspect:"), &CMMovieView::changeMovieAspect},
        {QStringLiteral("changeMovieMuted:"), &CMMovieView::changeMovieMuted},
        {QStringLiteral("nullAction:"), &CMMovieView::nullAction},
        {QStringLiteral("copyMovieView:"), &CMMovieView::copyMovieView},
        {QStringLiteral("removeMovieView:"), &CMMovieView::removeMovieView},
        {QStringLiteral("openMovieFile:"), &CMMovieView::openMovieFile},
        {QStringLiteral("changeMovieOffset:"), &CMMovieView::changeMovieOffset},
        {QStringLiteral("clearMovieOffset:"), &CMMovieView::clearMovieOffset},
        {QStringLiteral("alignMovieBySound:"), &CMMovieView::alignMovieBySound},
        {QStringLiteral("nudgeMovieOffset:"), &CMMovieView::nudgeMovieOffset},
        {QStringLiteral("editMovieOffset:"), &CMMovieView::editMovieOffset},
        {QStringLiteral("compareMovieView:"), &CMMovieView::compareMovieView},
    };
    return actions.value(name, nullptr);
}

QAction* CMMovieView::makeItem(QMenu* menu, const QString& title, Action action)
{
    QAction* item = menu->addAction(title);
    item->setEnabled(action != nullptr);
    if (action)
        connect(item, &QAction::triggered, this, [this, item, action] { (this->*action)(item); });
    return item;
}

void CMMovieView::menuNeedsUpdate()
{
    setMenuItem();
}

void CMMovieView::setMenuItem()
{
    clear();
    if (!qtView_) {
        addGreyedItems();
        return;
    }
    const QTMovieSubView& pane = *qtView_;
    const bool available = pane.isAvailable();
    const bool playing = pane.isPlaying();
    for (const QString& text : createMenuArray()) {
        const MenuLine line = MenuLine::parse(text);
        if (line.isSeparator()) {
            addSeparator();
            continue;
        }
        Action action = actionNamed(line.action);
        // an empty pane can still be given a movie
        if (!available && line.key != QLatin1String("open"))
            action = nullptr;
        else if ((line.key == QLatin1String("play") && playing) ||
                 (line.key == QLatin1String("stop") && !playing))
            action = nullptr;
        if (line.key == QLatin1String("sync") && !pane.canSyncMovieTime())
            action = nullptr;
        if ((line.key == QLatin1String("offset") && !pane.canChangeMovieOffset()) ||
            (line.key == QLatin1String("clearOffset") && !pane.hasMovieOffset()) ||
            (line.key == QLatin1String("align") &&
             !(paneAligner_ && paneAligner_->canAlignPane(pane.viewNo()))) ||
            (line.key == QLatin1String("nudge") && (!paneNudge_ || !paneNudge_->canNudge(pane.viewNo()))) ||
            (line.key == QLatin1String("editOffset") &&
             (!pane.movController() || pane.movController()->offsets().entry(pane.viewNo()) == NoObject)) ||
            (line.key == QLatin1String("compare") &&
             (!paneCompare_ || !paneCompare_->canCompare(pane.viewNo(), line.tag.toInt()))))
            action = nullptr;

        // the offset the pane keeps, so that it can be read before it is cleared
        const QString title =
            line.key == QLatin1String("clearOffset") && pane.hasMovieOffset()
                ? QStringLiteral("%1 (%2)").arg(
                      line.title, TimeForm::offsetText(pane.movController()->movieOffsetMs(pane.viewNo())))
                : line.title;
        // the keys, which act on the pane under the pointer, this one while its menu is open: the nudges'
        // own, which the user may have chosen
        const QString shownKeys =
            line.key == QLatin1String("nudge") && paneNudge_
                ? QLatin1Char('\t') + paneNudge_->action(static_cast<PaneNudge::Step>(line.tag.toInt()))
                                           ->shortcut()
                                           .toString(QKeySequence::NativeText)
                : QString();
        QAction* item = makeItem(this, title + shownKeys, action);
        item->setProperty(MenuLine::CommandTextProperty, line.title);
        if (line.key == QLatin1String("nudge") || line.key == QLatin1String("compare"))
            item->setData(line.tag.toInt());
        if (action && line.key == QLatin1String("copy")) {
            setCopyMenu();
            item->setMenu(menuCopy_);
        }
        // Check marks show the pane's state whether or not the item can be chosen.
        std::optional<bool> checked;
        if (line.key == QLatin1String("ctrl"))
            checked = pane.isController();
        else if (line.key == QLatin1String("muted"))
            checked = pane.movie() && pane.movie()->muted();
        else if (line.key == QLatin1String("aspect"))
            checked = !pane.isKeepAspect();
        else if (line.key == QLatin1String("zoom"))
            checked = pane.isMaximized();
        if (checked) {
            item->setCheckable(true);
            item->setChecked(*checked);
        }
    }
}

void CMMovieView::addGreyedItems()
{
    for (const QString& text : createMenuArray()) {
        const MenuLine line = MenuLine::parse(text);
        if (line.isSeparator()) {
            addSeparator();
            continue;
        }
        QAction* item = makeItem(this, line.title, nullptr);
        if (line.key != QLatin1String("copy") || !menuCopy_)
            continue;
        menuCopy_->clear();
        for (const QString& copy : createCopyMenuArray())
            makeItem(menuCopy_, MenuLine::parse(copy).title, nullptr);
        item->setMenu(menuCopy_);
    }
}

void CMMovieView::setCopyMenu()
{
    if (!menuCopy_ || !qtView_)
        return;
    menuCopy_->clear();
    for (const QString& text : createCopyMenuArray()) {
        const MenuLine line = MenuLine::parse(text);
        if (line.isSeparator()) {
            menuCopy_->addSeparator();
            continue;
        }
        Action action = actionNamed(line.action);
        if (!qtView_->movie())
            action = nullptr;
        // A pane never copies to itself.
        if (!line.tag.isEmpty() && line.tag.toInt() == qtView_->viewNo())
            action = nullptr;
        QAction* item = makeItem(menuCopy_, line.title, action);
        item->setData(line.key.toInt());
    }
}

void CMMovieView::changeMoviePlay(QAction*)
{
    if (qtView_)
        qtView_->changeMoviePlay();
}

void CMMovieView::syncMovieTime(QAction* sender)
{
    if (qtView_)
        qtView_->syncMovieTime(sender);
}

void CMMovieView::changeMovieFrame(QAction* sender)
{
    if (qtView_)
        qtView_->changeMovieFrame(sender);
}

void CMMovieView::changeMovieController(QAction*)
{
    if (qtView_)
        qtView_->changeMovieController();
}

void CMMovieView::changeMovieAspect(QAction*)
{
    if (qtView_)
        qtView_->changeMovieAspect();
}

void CMMovieView::changeMovieMuted(QAction*)
{
    if (qtView_)
        qtView_->changeMovieMuted();
}

void CMMovieView::nullAction(QAction*) {}

void CMMovieView::copyMovieView(QAction* sender)
{
    if (qtView_)
        qtView_->placing().copyMovieView(sender);
}

void CMMovieView::openMovieFile(QAction*)
{
    if (qtView_)
        qtView_->placing().openMovieFile();
}

void CMMovieView::removeMovieView(QAction*)
{
    if (qtView_)
        qtView_->placing().removeMovieView();
}

void CMMovieView::changeMovieOffset(QAction* sender)
{
    if (qtView_)
        qtView_->changeMovieOffset(sender);
}

void CMMovieView::clearMovieOffset(QAction* sender)
{
    if (qtView_)
        qtView_->clearMovieOffset(sender);
}

void CMMovieView::alignMovieBySound(QAction*)
{
    if (paneAligner_ && qtView_)
        paneAligner_->alignPane(qtView_->viewNo());
}

void CMMovieView::editMovieOffset(QAction*)
{
    if (!qtView_ || !qtView_->movController())
        return;
    auto* dialog = new PaneOffsetDialog(*qtView_->movController(), qtView_->viewNo(), qtView_->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CMMovieView::nudgeMovieOffset(QAction* sender)
{
    if (qtView_ && paneNudge_ && sender)
        paneNudge_->nudge(qtView_->viewNo(), static_cast<PaneNudge::Step>(sender->data().toInt()));
}

void CMMovieView::compareMovieView(QAction* sender)
{
    if (qtView_ && paneCompare_)
        paneCompare_->compare(qtView_->viewNo(), sender->data().toInt());
}

} // namespace tetrapan
