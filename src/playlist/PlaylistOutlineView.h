#pragma once

#include "platform/ObjectModel.h"
#include "platform/Scheduler.h"
#include "playlist/PlaylistRowDrag.h"
#include "playlist/PlaylistTreeEditing.h"
#include "playlist/PlaylistTreeLastState.h"
#include "playlist/ShownTreeRows.h"
#include "widgets/LastStateKeeper.h"

#include <QTreeView>

#include <chrono>
#include <optional>

class QMenu;
class QMimeData;

namespace tetrapan {

class DialogPresenter;
class ImageAndTextCell;
class MovController;
class ObjectContext;
class PlaylistTreeController;
class SettingsDomain;

// The playlist tree of the playlist window. It creates, renames, removes and moves folders and playlists,
// remembers across runs which folders were open and which row was selected, and hands the row the user
// chooses to the pane coordinator, which loads that playlist into the panes.
//
// "Rows" are the rows as shown: the top level and the children of every open folder, in order; a node
// inside a closed folder has no row. Every change it makes to the library is one undo step.
class PlaylistOutlineView : public QTreeView, public LastStateKeeper {
    Q_OBJECT
public:
    // After a removal the row then selected goes to the coordinator this much later, once the tree has
    // settled on its new selection.
    static constexpr std::chrono::milliseconds SelectAfterRemoveDelay{100};
    static inline const QString LastSelectedIndexKey = QStringLiteral("optLastSelectedIndexForPlaylist");

    using DropProposal = PlaylistRowDrag::DropProposal;

    PlaylistOutlineView(SettingsDomain& settings, Scheduler& scheduler, DialogPresenter& dialogs,
                        QWidget* parent = nullptr);
    ~PlaylistOutlineView() override;

    // outlets
    MovController* movController = nullptr;
    PlaylistTreeController* playlistTreeController = nullptr;
    QMenu* cmPlaylist = nullptr;

    // Takes the tree controller's rows and selection, then restores the last run's open folders and row.
    void awakeFromNib();

    // Actions
    void addFile();
    void addFolder();
    // A new playlist of that title (made unique on its level) for files opened with none chosen; selected
    // and handed to the panes.
    ObjectId addPlaylistNamed(const QString& title);
    void editSelectedRow();
    void removeItem();
    void selectClickedRow();
    void selectBackRow();
    void selectNextRow();
    // The desktop's "next track" is a playlist, never a folder: the playlist before (direction 0) or after
    // (any other) the selected node in the tree's order, inside folders open or closed; with nothing
    // selected the last or the first. NoObject when there is none.
    ObjectId adjacentPlaylist(int direction) const;
    // Selects it, opening the folders that hold it, and hands it to the panes.
    void selectAdjacentPlaylist(int direction);
    // The same for any node; NoObject (or a node not in the tree) leaves nothing chosen.
    void choose(ObjectId node);

    // Queries for the playlist and control windows
    bool isDisplay() const;
    // A title is being edited in place.
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }
    // direction 0: the row above (the last row with none selected); any other: the row below (row 0).
    bool canMoveSelectedRowIndex(int direction) const;

    void storeLastState() override;
    void restoreLastState();

    // Rows
    int numberOfRows() const;
    ObjectId itemAtRow(int row) const;
    // -1 when the node has no row.
    int rowOfItem(ObjectId node) const;
    // -1 when nothing (or a node without a row) is selected.
    int selectedRow() const;
    bool hasSelectedRow() const;
    void selectRow(int row);
    void selectRowOfItem(ObjectId node);
    void moveSelectedRowIndex(int direction, bool isExpand);

    // Hands the selected node's identifier to the pane coordinator; "" with nothing selected. Unless forced,
    // choosing the playlist the panes already show does not reload them; a folder is always handed over.
    void setFilelistPredicateWithPlaylist(bool force);

    // Tree editing
    ObjectId createFile();
    ObjectId createDirectory();
    // Puts the node into the reference when it is a folder, beside it when it sits in a folder, otherwise
    // at the top level; with maxNum it goes after the level's last node.
    void addItemToParent(ObjectId reference, ObjectId item, bool maxNum);
    // Numbers the moved node's level 0, 1, 2, ... with the node at the insertion position it was dropped at.
    void resetItemIndex(ObjectId item, ObjectId parentItem, ObjectId targetItem, int insIndex);
    void removeTreeItems(ObjectId node);
    void removeItemfromParent(ObjectId parent, ObjectId item);
    // Whether parent is child or one of child's ancestors.
    bool checkParentOfChild(ObjectId parent, ObjectId child) const;
    int getMaxIndex(const QList<ObjectId>& nodes, ObjectId selfItem) const;
    QList<ObjectId> getObjectFromPlaylist(ObjectId parent) const;

    // Dragging tree rows within the tree. A drag moves a row without choosing it: the row chosen before the
    // press that began the drag (which selected the pressed row) is chosen again as the drag begins.
    bool writeItems(const QModelIndexList& items);
    Qt::DropAction validateDrop(const QMimeData* data, ObjectId target, int childIndex) const;
    bool acceptDrop(const QMimeData* data, ObjectId target, int childIndex);
    // What a drop at this viewport position proposes, as the drop indicator shows it.
    DropProposal proposedDrop(const QPoint& position) const;

    ImageAndTextCell* imageAndTextCell() const { return cell_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // its helpers work on the rows as shown and on the library through the view
    friend class PlaylistRowDrag;
    friend class PlaylistTreeEditing;
    friend class PlaylistTreeLastState;

    ObjectContext& context() const;
    QModelIndex indexOfItem(ObjectId node) const;
    void selectIndex(const QModelIndex& index);
    bool isFolder(ObjectId node) const;
    void rightMouseDown(const QPoint& position, const QPoint& globalPosition);
    void scrollToSelection();
    // Moves a selection that a closing folder would hide onto that folder.
    void selectionWillHide(const QModelIndex& folder);

    SettingsDomain& settings_;
    ImageAndTextCell* cell_ = nullptr;
    ShownTreeRows rows_;
    PlaylistRowDrag drag_;
    PlaylistTreeEditing editing_;
    PlaylistTreeLastState lastState_;
    bool restoreLastState_ = false;

    bool contextClick_ = false;
    // The row chosen when the last left press came, which may begin a drag; none before any press.
    std::optional<ObjectId> chosenBeforePress_;
    int committer_ = -1; // the library's handle for finishing a rename in progress
};

} // namespace tetrapan
