#include "playlist/PlaylistOutlineView.h"

#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "library/dialogExtension.h"
#include "panes/MovController.h"
#include "platform/DialogPresenter.h"
#include "platform/ObjectContext.h"
#include "platform/userDefaultsExtension.h"
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
#include <functional>

namespace tetrapan {

namespace {

// Names the undo step of a tree change for Edit > Undo, and closes it even on an early return.
class UndoStep {
public:
    UndoStep(ObjectContext& context, const QString& name) : context_(context)
    {
        context_.beginUndoGroup(name);
    }
    ~UndoStep() { context_.endUndoGroup(); }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

private:
    ObjectContext& context_;
};

} // namespace

PlaylistOutlineView::PlaylistOutlineView(SettingsDomain& settings, Scheduler& scheduler,
                                         DialogPresenter& dialogs, QWidget* parent)
    : QTreeView(parent), settings_(settings), scheduler_(scheduler), dialogs_(dialogs),
      cell_(new ImageAndTextCell(this))
{
}

PlaylistOutlineView::~PlaylistOutlineView()
{
    scheduler_.cancel(selectAfterRemoveTask_);
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

    dragOutItem_ = dragOutParentItem_ = dragOutSelectedItem_ = NoObject;
    dragOutSelected_ = false;
    restoreLastState_ = false;
    // the tree controller read the library when it was made, so its first content is already there
    restoreLastState();
    restoreLastState_ = true;
}

// ---- rows

QModelIndexList PlaylistOutlineView::visibleRows() const
{
    QModelIndexList rows;
    if (!model())
        return rows;
    // depth first, children right after their folder
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int r = 0; r < model()->rowCount(parent); ++r) {
            const QModelIndex child = model()->index(r, 0, parent);
            rows.append(child);
            if (isExpanded(child))
                walk(child);
        }
    };
    walk(rootIndex());
    return rows;
}

int PlaylistOutlineView::numberOfRows() const
{
    return static_cast<int>(visibleRows().size());
}

QModelIndex PlaylistOutlineView::indexOfRow(int row) const
{
    const QModelIndexList rows = visibleRows();
    return row >= 0 && row < rows.size() ? rows.at(row) : QModelIndex();
}

ObjectId PlaylistOutlineView::itemAtRow(int row) const
{
    return playlistTreeController ? playlistTreeController->objectAtIndex(indexOfRow(row)) : NoObject;
}

QModelIndex PlaylistOutlineView::indexOfItem(ObjectId node) const
{
    return playlistTreeController ? playlistTreeController->indexOfObject(node) : QModelIndex();
}

int PlaylistOutlineView::rowOfItem(ObjectId node) const
{
    const QModelIndex index = indexOfItem(node);
    return index.isValid() ? static_cast<int>(visibleRows().indexOf(index)) : -1;
}

int PlaylistOutlineView::selectedRow() const
{
    const QModelIndex selected = selectedIndex();
    return selected.isValid() ? static_cast<int>(visibleRows().indexOf(selected)) : -1;
}

bool PlaylistOutlineView::hasSelectedRow() const
{
    return selectedIndex().isValid();
}

// The rows below are found from their neighbours, not by listing every row: the move buttons ask after each
// change of selection, and a library may hold thousands of rows.

QModelIndex PlaylistOutlineView::selectedIndex() const
{
    if (!selectionModel())
        return {};
    // one row at most is selected; a row inside a closed folder has no place in the tree
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        if (isShown(index))
            return index;
    }
    return {};
}

bool PlaylistOutlineView::isShown(const QModelIndex& index) const
{
    for (QModelIndex parent = index.parent(); parent != rootIndex(); parent = parent.parent()) {
        if (!parent.isValid() || !isExpanded(parent))
            return false;
    }
    return index.isValid();
}

QModelIndex PlaylistOutlineView::lastShownDescendant(QModelIndex index) const
{
    while (isExpanded(index) && model()->rowCount(index) > 0)
        index = model()->index(model()->rowCount(index) - 1, 0, index);
    return index;
}

QModelIndex PlaylistOutlineView::rowAbove(const QModelIndex& index) const
{
    if (index.row() > 0)
        return lastShownDescendant(model()->index(index.row() - 1, 0, index.parent()));
    return index.parent() == rootIndex() ? QModelIndex() : index.parent();
}

QModelIndex PlaylistOutlineView::rowBelow(const QModelIndex& index) const
{
    if (isExpanded(index) && model()->rowCount(index) > 0)
        return model()->index(0, 0, index);
    for (QModelIndex at = index; at.isValid() && at != rootIndex(); at = at.parent()) {
        if (at.row() + 1 < model()->rowCount(at.parent()))
            return model()->index(at.row() + 1, 0, at.parent());
    }
    return {};
}

void PlaylistOutlineView::selectRow(int row)
{
    selectIndex(indexOfRow(row));
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

QModelIndex PlaylistOutlineView::targetIndex(int direction) const
{
    if (!model())
        return {};
    const QModelIndex selected = selectedIndex();
    if (direction == 0) {
        const int topRows = model()->rowCount(rootIndex());
        if (selected.isValid())
            return rowAbove(selected);
        return topRows > 0 ? lastShownDescendant(model()->index(topRows - 1, 0, rootIndex())) : QModelIndex();
    }
    return selected.isValid() ? rowBelow(selected) : model()->index(0, 0, rootIndex());
}

bool PlaylistOutlineView::canMoveSelectedRowIndex(int direction) const
{
    return targetIndex(direction).isValid();
}

void PlaylistOutlineView::moveSelectedRowIndex(int direction, bool isExpand)
{
    const QModelIndex target = targetIndex(direction);
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
    QTreeView::mousePressEvent(event);
}

void PlaylistOutlineView::mouseReleaseEvent(QMouseEvent* event)
{
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
    if (!playlistTreeController)
        return;
    for (const QModelIndex& row : visibleRows()) {
        const ObjectId node = playlistTreeController->objectAtIndex(row);
        if (!isFolder(node))
            continue;
        const bool expanded = isExpanded(row);
        if (context().value(node, LibrarySchema::IsExpand).toBool() != expanded)
            context().setValue(node, LibrarySchema::IsExpand, expanded);
    }
    userDefaultsExtension::setDefaultIntValue(settings_, selectedRow(), LastSelectedIndexKey);
}

void PlaylistOutlineView::restoreLastState()
{
    // Row by row from the top: a folder opened here adds its children right after it, so they are looked at
    // next, and a folder inside a closed one has no row and stays closed. One walk, however large the
    // library.
    std::function<void(const QModelIndex&)> openLevel = [&](const QModelIndex& parent) {
        for (int r = 0; r < model()->rowCount(parent); ++r) {
            const QModelIndex child = model()->index(r, 0, parent);
            const ObjectId node = playlistTreeController->objectAtIndex(child);
            if (isFolder(node) && context().value(node, LibrarySchema::IsExpand).toBool()) {
                expand(child);
                openLevel(child);
            }
        }
    };
    if (model())
        openLevel(rootIndex());
    const int row = userDefaultsExtension::defaultIntValue(settings_, LastSelectedIndexKey);
    const QModelIndex last = row >= 0 ? indexOfRow(row) : QModelIndex();
    if (last.isValid()) {
        selectIndex(last);
        setFilelistPredicateWithPlaylist(false);
    }
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
    addNode(false);
}

void PlaylistOutlineView::addFolder()
{
    addNode(true);
}

ObjectId PlaylistOutlineView::addNode(bool folder)
{
    if (!playlistTreeController)
        return NoObject;
    const int row = selectedRow();
    const ObjectId reference = row >= 0 ? itemAtRow(row) : NoObject;
    ObjectId node = NoObject;
    {
        UndoStep step(context(), folder ? QStringLiteral("Add Folder") : QStringLiteral("Add Playlist"));
        node = folder ? createDirectory() : createFile();
        addItemToParent(reference, node, true);
    }
    playlistTreeController->rearrangeObjects();
    if (isFolder(reference))
        expandRecursively(indexOfItem(reference));
    selectRowOfItem(node);
    editSelectedRow();
    setFilelistPredicateWithPlaylist(false);
    return node;
}

void PlaylistOutlineView::editSelectedRow()
{
    const int row = selectedRow();
    if (row < 0 || row >= numberOfRows())
        return;
    const QModelIndex index = indexOfRow(row);
    scrollTo(index);
    edit(index);
}

void PlaylistOutlineView::removeItem()
{
    const int row = selectedRow();
    if (row < 0 || !playlistTreeController)
        return;
    const ObjectId node = itemAtRow(row);
    const dialogExtension::AlertText& alert =
        isFolder(node) ? dialogExtension::DeleteFolder : dialogExtension::DeletePlaylist;
    const int answer = dialogExtension::displayMessage(dialogs_, alert);
    // whichever button answered the alert, the keys go on moving through the playlists
    setFocus(Qt::OtherFocusReason);
    if (answer != DialogPresenter::FirstButton)
        return;
    {
        UndoStep step(context(),
                      isFolder(node) ? QStringLiteral("Delete Folder") : QStringLiteral("Delete Playlist"));
        removeTreeItems(node);
    }
    playlistTreeController->rearrangeObjects();
    scheduler_.cancel(selectAfterRemoveTask_);
    selectAfterRemoveTask_ = scheduler_.scheduleAfter(SelectAfterRemoveDelay, [this] {
        selectAfterRemoveTask_ = Scheduler::NoTask;
        selectClickedRow();
    });
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
    if (items.isEmpty() || !playlistTreeController)
        return false;
    dragOutItem_ = playlistTreeController->objectAtIndex(items.first());
    dragOutParentItem_ = context().relatedObject(dragOutItem_, LibrarySchema::Parent);
    const int row = selectedRow();
    dragOutSelected_ = row >= 0;
    dragOutSelectedItem_ = dragOutSelected_ ? itemAtRow(row) : NoObject;
    return true;
}

Qt::DropAction PlaylistOutlineView::validateDrop(const QMimeData* data, ObjectId target, int childIndex) const
{
    // the drag carries no node of its own: the one remembered when a drag of this tree began is moved
    if (!data || !data->hasFormat(PlaylistTreeController::PlistPboardType) || !playlistTreeController)
        return Qt::IgnoreAction;
    return PlaylistTreeRules::mayDrop(context(), dragOutItem_, dragOutParentItem_, target, childIndex)
               ? Qt::MoveAction
               : Qt::IgnoreAction;
}

bool PlaylistOutlineView::acceptDrop(const QMimeData* data, ObjectId target, int childIndex)
{
    // a refused drop must never land: a folder inside its own subtree would make a loop the store cannot load
    if (validateDrop(data, target, childIndex) != Qt::MoveAction)
        return false;
    {
        UndoStep step(context(), QStringLiteral("Move"));
        addItemToParent(target, dragOutItem_, childIndex == -1);
        if (dragOutParentItem_ != NoObject && dragOutParentItem_ != target)
            removeItemfromParent(dragOutParentItem_, dragOutItem_);
        if (childIndex != -1)
            resetItemIndex(dragOutItem_, dragOutParentItem_, target, childIndex);
    }
    playlistTreeController->rearrangeObjects();
    if (childIndex == -1 && isFolder(target))
        expand(indexOfItem(target));
    if (dragOutSelected_)
        selectRowOfItem(dragOutSelectedItem_);
    setFilelistPredicateWithPlaylist(false);
    return true;
}

PlaylistOutlineView::DropProposal PlaylistOutlineView::proposedDrop(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid() || !playlistTreeController)
        return {};
    // the same bands the drop indicator uses: the top and bottom edges of a row are the gaps beside it
    const QRect rect = visualRect(index);
    const int margin = std::clamp(qRound(rect.height() / 5.5), 2, 12);
    enum { Above, Below, On } where = On;
    if (position.y() - rect.top() < margin)
        where = Above;
    else if (rect.bottom() - position.y() < margin)
        where = Below;
    else if (!(model()->flags(index) & Qt::ItemIsDropEnabled))
        where = position.y() < rect.center().y() ? Above : Below;
    const ObjectId node = playlistTreeController->objectAtIndex(index);
    const ObjectId parent = playlistTreeController->objectAtIndex(index.parent());
    switch (where) {
    case Above:
        return {parent, index.row()};
    case Below:
        return {parent, index.row() + 1};
    case On:
        break;
    }
    return {node, -1};
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
