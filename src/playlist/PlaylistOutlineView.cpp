#include "playlist/PlaylistOutlineView.h"

#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "panes/MovController.h"
#include "platform/ObjectContext.h"
#include "playlist/ImageAndTextCell.h"
#include "playlist/PlaylistTreeRules.h"
#include "widgets/NamedImage.h"

#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

#include <algorithm>
#include <utility>

namespace tetrapan {

PlaylistOutlineView::PlaylistOutlineView(SettingsDomain& settings, Scheduler& scheduler,
                                         DialogPresenter& dialogs, QWidget* parent)
    : QTreeView(parent), settings_(settings), cell_(new ImageAndTextCell(this)), rows_(*this), drag_(*this),
      editing_(*this, scheduler, dialogs), lastState_(*this, settings)
{
}

PlaylistOutlineView::~PlaylistOutlineView()
{
    if (playlistTreeController) {
        context().setStepChoice({}, {});
        context().removeEditingCommitter(committer_);
    }
}

ObjectContext& PlaylistOutlineView::context() const
{
    return playlistTreeController->managedObjectContext();
}

void PlaylistOutlineView::awakeFromNib()
{
    setModel(playlistTreeController);
    // the tree controller's selection is the one the rest of the program reads as "the selected playlist"
    QItemSelectionModel* created = selectionModel();
    setSelectionModel(playlistTreeController->selectionModel());
    if (created != selectionModel())
        delete created;
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setIconSize(QSize(16, 16));
    setItemDelegate(cell_);
    cell_->setImageProvider([](const QModelIndex& index) {
        return namedImage(index.data(PlaylistTreeController::IsFolderRole).toBool()
                              ? QStringLiteral("icon_folder")
                              : QStringLiteral("icon_playlist"));
    });
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PlaylistOutlineView::scrollToSelection);
    connect(this, &QTreeView::collapsed, this, &PlaylistOutlineView::selectionWillHide);

    // every step of Edit > Undo keeps the row chosen before and after it, and gives it back with the panes
    context().setStepChoice(
        [this] {
            const QList<ObjectId> selected = playlistTreeController->selectedObjects();
            return QVariant::fromValue(selected.isEmpty() ? NoObject : selected.front());
        },
        [this](const QVariant& node) { choose(node.value<ObjectId>()); });

    // a title being typed when the program quits is the title the user wants kept
    committer_ = context().addEditingCommitter([this] {
        if (QWidget* editor = isEditing() ? indexWidget(currentIndex()) : nullptr) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
        return true;
    });

    drag_.reset();
    restoreLastState_ = false;
    // the tree controller read the library when it was made, so its first content is already there
    restoreLastState();
    restoreLastState_ = true;
}

// ---- rows

int PlaylistOutlineView::numberOfRows() const
{
    return static_cast<int>(rows_.visibleRows().size());
}

ObjectId PlaylistOutlineView::itemAtRow(int row) const
{
    return playlistTreeController ? playlistTreeController->objectAtIndex(rows_.indexOfRow(row)) : NoObject;
}

QModelIndex PlaylistOutlineView::indexOfItem(ObjectId node) const
{
    return playlistTreeController ? playlistTreeController->indexOfObject(node) : QModelIndex();
}

int PlaylistOutlineView::rowOfItem(ObjectId node) const
{
    const QModelIndex index = indexOfItem(node);
    return index.isValid() ? static_cast<int>(rows_.visibleRows().indexOf(index)) : -1;
}

int PlaylistOutlineView::selectedRow() const
{
    const QModelIndex selected = rows_.selectedIndex();
    return selected.isValid() ? static_cast<int>(rows_.visibleRows().indexOf(selected)) : -1;
}

bool PlaylistOutlineView::hasSelectedRow() const
{
    return rows_.selectedIndex().isValid();
}

void PlaylistOutlineView::selectRow(int row)
{
    selectIndex(rows_.indexOfRow(row));
}

void PlaylistOutlineView::selectIndex(const QModelIndex& index)
{
    if (index.isValid())
        selectionModel()->setCurrentIndex(index,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void PlaylistOutlineView::selectRowOfItem(ObjectId node)
{
    const int row = rowOfItem(node);
    if (row >= 0)
        selectRow(row);
}

void PlaylistOutlineView::scrollToSelection()
{
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (!selected.isEmpty())
        scrollTo(selected.first());
}

void PlaylistOutlineView::selectionWillHide(const QModelIndex& folder)
{
    // A row inside a closed folder has no row of its own; leaving it selected would let the library go on
    // treating a hidden playlist as the chosen one while the panes show the folder. The selection moves to
    // the folder instead, and the folder is what the panes then show.
    const ObjectId folderNode =
        playlistTreeController ? playlistTreeController->objectAtIndex(folder) : NoObject;
    if (folderNode == NoObject)
        return;
    const QList<ObjectId> selected = playlistTreeController->selectedObjects();
    const bool hidesSelection = std::any_of(selected.begin(), selected.end(), [&](ObjectId node) {
        return node != folderNode && checkParentOfChild(folderNode, node);
    });
    if (!hidesSelection)
        return;
    selectRowOfItem(folderNode);
    setFilelistPredicateWithPlaylist(false);
}

bool PlaylistOutlineView::isFolder(ObjectId node) const
{
    return node != NoObject && context().value(node, LibrarySchema::IsFolder).toBool();
}

bool PlaylistOutlineView::isDisplay() const
{
    return viewport()->width() > 0 && viewport()->height() > 0;
}

// ---- handing the choice to the panes

void PlaylistOutlineView::setFilelistPredicateWithPlaylist(bool force)
{
    if (!movController)
        return;
    QString uniqueId;
    const int row = selectedRow();
    if (row >= 0) {
        const ObjectId node = itemAtRow(row);
        uniqueId = context().value(node, LibrarySchema::UniqueId).toString();
        if (!isFolder(node) && !force && movController->uniqueId() == uniqueId)
            return;
    }
    movController->setUniqueId(uniqueId);
}

void PlaylistOutlineView::selectClickedRow()
{
    const int row = selectedRow();
    if (row >= 0 && movController &&
        context().value(itemAtRow(row), LibrarySchema::UniqueId).toString() == movController->uniqueId())
        return;
    setFilelistPredicateWithPlaylist(false);
}

// ---- navigation

bool PlaylistOutlineView::canMoveSelectedRowIndex(int direction) const
{
    return rows_.targetIndex(direction).isValid();
}

void PlaylistOutlineView::moveSelectedRowIndex(int direction, bool isExpand)
{
    const QModelIndex target = rows_.targetIndex(direction);
    if (!target.isValid())
        return;
    selectIndex(target);
    if (isExpand && isFolder(playlistTreeController->objectAtIndex(target)))
        expand(target);
    setFilelistPredicateWithPlaylist(false);
}

void PlaylistOutlineView::selectBackRow()
{
    moveSelectedRowIndex(0, true);
}

void PlaylistOutlineView::selectNextRow()
{
    moveSelectedRowIndex(1, true);
}

ObjectId PlaylistOutlineView::adjacentPlaylist(int direction) const
{
    if (!playlistTreeController)
        return NoObject;
    QList<ObjectId> order = playlistTreeController->arrangedObjects();
    if (direction == 0)
        std::reverse(order.begin(), order.end());
    const QList<ObjectId> selected = playlistTreeController->selectedObjects();
    const qsizetype from = selected.isEmpty() ? -1 : order.indexOf(selected.front());
    for (qsizetype at = from + 1; at < order.size(); ++at) {
        if (!isFolder(order.at(at)))
            return order.at(at);
    }
    return NoObject;
}

void PlaylistOutlineView::selectAdjacentPlaylist(int direction)
{
    const ObjectId playlist = adjacentPlaylist(direction);
    if (playlist != NoObject)
        choose(playlist);
}

void PlaylistOutlineView::choose(ObjectId node)
{
    const QModelIndex index = indexOfItem(node);
    if (!index.isValid()) {
        selectionModel()->clear();
        setFilelistPredicateWithPlaylist(false);
        return;
    }
    QModelIndexList folders;
    for (QModelIndex folder = index.parent(); folder.isValid(); folder = folder.parent())
        folders.prepend(folder);
    for (const QModelIndex& folder : std::as_const(folders))
        expand(folder);
    selectIndex(index);
    setFilelistPredicateWithPlaylist(false);
}

void PlaylistOutlineView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        moveSelectedRowIndex(0, false);
        event->accept();
        return;
    case Qt::Key_Down:
        moveSelectedRowIndex(1, false);
        event->accept();
        return;
    default:
        break;
    }
    // Home, End, the page keys and typing a title's first letters move the selection too; what the user
    // moves onto is his choice, as with the arrow keys
    const QList<ObjectId> before =
        playlistTreeController ? playlistTreeController->selectedObjects() : QList<ObjectId>();
    QTreeView::keyPressEvent(event);
    if (playlistTreeController && !isEditing() && playlistTreeController->selectedObjects() != before &&
        hasSelectedRow())
        setFilelistPredicateWithPlaylist(false);
}

void PlaylistOutlineView::mousePressEvent(QMouseEvent* event)
{
    const bool metaClick = event->button() == Qt::LeftButton && (event->modifiers() & Qt::MetaModifier);
    if (event->button() == Qt::RightButton || metaClick) {
        contextClick_ = true;
        event->accept();
        rightMouseDown(event->position().toPoint(), event->globalPosition().toPoint());
        return;
    }
    contextClick_ = false;
    chosenBeforePress_ = hasSelectedRow() ? itemAtRow(selectedRow()) : NoObject;
    QTreeView::mousePressEvent(event);
}

void PlaylistOutlineView::mouseReleaseEvent(QMouseEvent* event)
{
    // a press that ends here began no drag
    chosenBeforePress_.reset();
    if (contextClick_) {
        contextClick_ = false;
        event->accept();
        return;
    }
    QTreeView::mouseReleaseEvent(event);
    // every click is a choice, also one on the empty area below the rows, which leaves nothing selected
    if (event->button() == Qt::LeftButton)
        selectClickedRow();
}

void PlaylistOutlineView::rightMouseDown(const QPoint& position, const QPoint& globalPosition)
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (selectedRow() < 0)
        return;
    setFilelistPredicateWithPlaylist(false);
    if (cmPlaylist)
        cmPlaylist->popup(globalPosition);
}

// ---- last state

void PlaylistOutlineView::storeLastState()
{
    lastState_.store();
}

void PlaylistOutlineView::restoreLastState()
{
    lastState_.restore();
}

// ---- adding, renaming, removing

ObjectId PlaylistOutlineView::createFile()
{
    return LibraryRules::createNode(context(), settings_, false);
}

ObjectId PlaylistOutlineView::createDirectory()
{
    return LibraryRules::createNode(context(), settings_, true);
}

void PlaylistOutlineView::addFile()
{
    editing_.addNode(false);
}

void PlaylistOutlineView::addFolder()
{
    editing_.addNode(true);
}

ObjectId PlaylistOutlineView::addPlaylistNamed(const QString& title)
{
    return editing_.addNamedPlaylist(title);
}

void PlaylistOutlineView::editSelectedRow()
{
    const int row = selectedRow();
    if (row < 0 || row >= numberOfRows())
        return;
    const QModelIndex index = rows_.indexOfRow(row);
    scrollTo(index);
    edit(index);
}

void PlaylistOutlineView::removeItem()
{
    editing_.removeItem();
}

void PlaylistOutlineView::removeTreeItems(ObjectId node)
{
    LibraryRules::removeNodeTree(context(), node);
}

void PlaylistOutlineView::removeItemfromParent(ObjectId parent, ObjectId item)
{
    // the relationship keeps its inverse, so the node has usually left already; removing it again would
    // also clear the parent it has just been given
    if (parent != NoObject && context().relatedObjects(parent, LibrarySchema::Children).contains(item))
        context().removeRelatedObject(parent, LibrarySchema::Children, item);
}

void PlaylistOutlineView::addItemToParent(ObjectId reference, ObjectId item, bool maxNum)
{
    const ObjectId parent = LibraryRules::parentForNewNode(context(), reference);
    if (context().relatedObject(item, LibrarySchema::Parent) != parent)
        context().setRelatedObject(item, LibrarySchema::Parent, parent);
    if (maxNum)
        context().setValue(item, LibrarySchema::Index, getMaxIndex(getObjectFromPlaylist(parent), item) + 1);
}

bool PlaylistOutlineView::checkParentOfChild(ObjectId parent, ObjectId child) const
{
    return PlaylistTreeRules::checkParentOfChild(context(), parent, child);
}

int PlaylistOutlineView::getMaxIndex(const QList<ObjectId>& nodes, ObjectId selfItem) const
{
    int largest = 0;
    for (ObjectId node : nodes) {
        if (node != selfItem)
            largest = std::max(largest, context().value(node, LibrarySchema::Index).toInt());
    }
    return largest;
}

QList<ObjectId> PlaylistOutlineView::getObjectFromPlaylist(ObjectId parent) const
{
    return LibraryRules::childNodes(context(), parent);
}

// ---- dragging rows

void PlaylistOutlineView::resetItemIndex(ObjectId item, ObjectId parentItem, ObjectId targetItem,
                                         int insIndex)
{
    PlaylistTreeRules::resetItemIndex(context(), item, parentItem, targetItem, insIndex);
}

bool PlaylistOutlineView::writeItems(const QModelIndexList& items)
{
    // the panes, the file table and the frame sets still belong to the row chosen before: a drag that ends
    // anywhere but in a move must leave that one chosen, not the dragged row the press selected
    if (const std::optional<ObjectId> chosen = std::exchange(chosenBeforePress_, std::nullopt)) {
        if (*chosen == NoObject)
            selectionModel()->clear();
        else if (!hasSelectedRow() || itemAtRow(selectedRow()) != *chosen)
            selectRowOfItem(*chosen);
    }
    return drag_.writeItems(items);
}

Qt::DropAction PlaylistOutlineView::validateDrop(const QMimeData* data, ObjectId target, int childIndex) const
{
    return drag_.validateDrop(data, target, childIndex);
}

bool PlaylistOutlineView::acceptDrop(const QMimeData* data, ObjectId target, int childIndex)
{
    return drag_.acceptDrop(data, target, childIndex);
}

PlaylistOutlineView::DropProposal PlaylistOutlineView::proposedDrop(const QPoint& position) const
{
    return drag_.proposedDrop(position);
}

void PlaylistOutlineView::startDrag(Qt::DropActions)
{
    const QModelIndexList items = selectionModel()->selectedRows();
    if (!writeItems(items))
        return;
    QMimeData* data = model()->mimeData(items);
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // the drop does the moving; nothing is removed here afterwards, whatever the answer
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void PlaylistOutlineView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->source() != this || !event->mimeData()->hasFormat(PlaylistTreeController::PlistPboardType)) {
        event->ignore();
        return;
    }
    QTreeView::dragEnterEvent(event);
}

void PlaylistOutlineView::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    QTreeView::dragMoveEvent(event); // the drop indicator and scrolling near the edges
    const DropProposal proposal = proposedDrop(event->position().toPoint());
    if (validateDrop(event->mimeData(), proposal.target, proposal.childIndex) == Qt::MoveAction) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void PlaylistOutlineView::dropEvent(QDropEvent* event)
{
    const DropProposal proposal = proposedDrop(event->position().toPoint());
    const bool accepted =
        event->source() == this && acceptDrop(event->mimeData(), proposal.target, proposal.childIndex);
    if (accepted) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    viewport()->update();
}

} // namespace tetrapan
