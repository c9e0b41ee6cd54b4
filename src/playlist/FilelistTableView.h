#pragma once

#include "playlist/FilelistWheel.h"

#include <QTableView>
#include <QVariant>

#include <memory>

class QAction;
class QMenu;

namespace tetrapan {

class CMFilelistHeader;
class DialogPresenter;
class FileViewer;
class FilelistArrayController;
class FilelistTableCell;
class MovController;
class SettingsDomain;
class TBArrayController;
class TableColumnController;
class ViewMain;

// The table of the chosen playlist's file entries, one row per entry in pane order. From it the user
// removes entries (emptying their panes), lets an entry's pane fill the main window (double click),
// reveals an entry's file in the file manager, steps through the entries with the wheel, and picks the
// shown columns in the header's menu. Column order, widths and visibility are kept across runs. Movie files
// dropped on it from another program are handed on to be opened into the panes, first file pane 1.
class FilelistTableView : public QTableView {
    Q_OBJECT
public:
    static inline const QString StateTableColumnFilelist = QStringLiteral("stateTableColumnFilelist");
    // Columns left out of the table until the user asks for them.
    // a recording's start, end and number of files are asked for in the header's menu
    static inline const QStringList DefaultHideCols{
        QStringLiteral("uniqueId"), QStringLiteral("recordingStart"), QStringLiteral("recordingEnd"),
        QStringLiteral("fileCount")};
    // Columns the table gained after column states were first kept: a kept state that does not name one was
    // stored before it, and the column is shown, in front.
    static inline const QStringList AddedCols{QStringLiteral("viewNo")};

    FilelistTableView(SettingsDomain& settings, DialogPresenter& dialogs, FileViewer& fileViewer,
                      QWidget* parent = nullptr);
    ~FilelistTableView() override;

    // outlets
    ViewMain* viewMain = nullptr;
    TBArrayController* tbArrayController = nullptr;
    MovController* movController = nullptr;
    QMenu* cmFilelist = nullptr;
    CMFilelistHeader* cmFilelistHeader = nullptr;
    FilelistArrayController* filelistArrayController = nullptr;

    // Takes the file list's rows and selection, restores the columns, and starts empty until a playlist is
    // chosen.
    void awakeFromNib();

    // Actions
    void removeItem();
    void maximizeFrame();
    void showFileWithFinder();
    // sender: a header menu item
    void changeColumnState(const QAction* sender);

    bool isShowColumn(const QString& identifier) const;
    // The table's part of the window is not collapsed.
    bool isDisplay() const;
    TableColumnController* columnController() const { return tcc_.get(); }

    // The text a cell shows: a play time of 0 as "-", a size of 0 as nothing, a date as
    // "yyyy/MM/dd HH:mm:ss" in local time; any other attribute as stored.
    QVariant objectValue(const QString& identifier, int row) const;

    // The window is about to close (or the program to quit with the window open): the columns are stored.
    void windowWillClose();
    // The program is about to quit, which closes no window: with its window open the table stores its
    // columns as closing would.
    void applicationWillTerminate();

Q_SIGNALS:
    // Local files dropped from another program, in the order of the drop.
    void filesDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Selected rows dragged out carry their files, as a pane's drag does.
    void startDrag(Qt::DropActions supportedActions) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static bool isContextClick(const QMouseEvent* event);
    void rightMouseDown(const QPoint& position, const QPoint& globalPosition);
    void tableViewSelectionDidChange();
    void tableViewDidDragTableColumn();
    void setDefaultColumnWidths();
    // Until the user has arranged the columns, the path takes whatever width the others leave.
    void fitPathToWidth();

    SettingsDomain& settings_;
    DialogPresenter& dialogs_;
    FileViewer& fileViewer_;
    FilelistTableCell* cell_;
    std::unique_ptr<TableColumnController> tcc_;
    bool contextClick_ = false;
    bool pathTakesSlack_ = false;
    bool fittingPath_ = false;
    filelistWheel::NotchCollector wheel_;
};

} // namespace tetrapan
