#include "playlist/FilelistTableView.h"

#include "layout/ViewMain.h"
#include "library/FilelistArrayController.h"
#include "library/LibrarySchema.h"
#include "library/TBArrayController.h"
#include "library/dialogExtension.h"
#include "library/fileAttributeExtension.h"
#include "panes/MovController.h"
#include "panes/fileDrag.h"
#include "platform/FileViewer.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/fileLooks.h"
#include "playlist/CMFilelistHeader.h"
#include "playlist/FilelistTableCell.h"
#include "playlist/FilelistWheel.h"
#include "playlist/TableColumnController.h"
#include "playlist/tableColumnExtension.h"
#include "widgets/ListFontSize.h"
#include "widgets/userDefaultsViewState.h"

#include <QDateTime>
#include <QDrag>
#include <QDropEvent>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace tetrapan {

namespace {

const QString SearchTypePlaylist = QStringLiteral("playlist");
// the cell's margins either side of its text
constexpr int DateCellPadding = 14;

// Widths at the first start, before the user has arranged anything; the path's is its least, since it
// takes the slack.
int defaultWidth(const QString& identifier)
{
    if (identifier == LibrarySchema::ViewNo)
        return 44;
    if (identifier == LibrarySchema::FilePath)
        return 120;
    if (identifier == LibrarySchema::PlayTime)
        return 64;
    if (identifier == LibrarySchema::FileSize)
        return 70;
    if (identifier == LibrarySchema::FileDate || identifier == LibrarySchema::RecordingStart ||
        identifier == LibrarySchema::RecordingEnd)
        return 140;
    return 80;
}

} // namespace

FilelistTableView::FilelistTableView(SettingsDomain& settings, DialogPresenter& dialogs,
                                     FileViewer& fileViewer, QWidget* parent)
    : QTableView(parent), settings_(settings), dialogs_(dialogs), fileViewer_(fileViewer),
      cell_(new FilelistTableCell(this))
{
    setAcceptDrops(true);
    setDragEnabled(true);
    setDropIndicatorShown(false);
}

FilelistTableView::~FilelistTableView() = default;

void FilelistTableView::awakeFromNib()
{
    if (!filelistArrayController)
        return;
    setModel(filelistArrayController);
    // the file list's selection is the one the rest of the program reads as "the selected entries"
    QItemSelectionModel* created = selectionModel();
    setSelectionModel(filelistArrayController->selectionModel());
    if (created != selectionModel())
        delete created;
    setItemDelegate(cell_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    // rows differ by their file names, which a cut at the end would take away
    setTextElideMode(Qt::ElideMiddle);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setDefaultColumnWidths();

    pathTakesSlack_ = !settings_.hasStoredValue(StateTableColumnFilelist);
    userDefaultsExtension::setTableColumnState(settings_, this, StateTableColumnFilelist);
    if (!pathTakesSlack_) {
        const QSet<QString> known = tableColumnExtension::storedColumns(settings_, StateTableColumnFilelist);
        for (const QString& added : AddedCols) {
            const int section = filelistArrayController->columnOfKey(added);
            if (!known.contains(added) && section >= 0)
                header->moveSection(header->visualIndex(section), 0);
        }
    }
    if (!tcc_)
        tcc_ = std::make_unique<TableColumnController>(this);
    tableColumnExtension::showTableColumns(settings_, *tcc_, this, DefaultHideCols, AddedCols,
                                           StateTableColumnFilelist);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        // a width the user gives is his
        if (!fittingPath_)
            pathTakesSlack_ = false;
    });
    fitPathToWidth();

    connect(this, &QAbstractItemView::doubleClicked, this, [this] { maximizeFrame(); });
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint& position) {
        if (cmFilelistHeader)
            cmFilelistHeader->popup(header->viewport()->mapToGlobal(position));
    });
    connect(header, &QHeaderView::sectionMoved, this, &FilelistTableView::tableViewDidDragTableColumn);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FilelistTableView::tableViewSelectionDidChange);

    // empty until a playlist is chosen
    if (tbArrayController)
        tbArrayController->setFilelistFilterPredicate(Predicate::equals(LibrarySchema::UniqueId, QString()),
                                                      SearchTypePlaylist);
}

void FilelistTableView::setDefaultColumnWidths()
{
    // the list's text size is set by now; the widths are for the registered one
    const double scale =
        font().pointSize() > 0 ? static_cast<double>(font().pointSize()) / listFontSize::Registered : 1.0;
    for (int section = 0; section < model()->columnCount(); ++section) {
        const QString identifier =
            model()
                ->headerData(section, Qt::Horizontal, FilelistArrayController::AttributeKeyRole)
                .toString();
        int width = qRound(defaultWidth(identifier) * scale);
        // a date is cut in its middle where the theme's font is wide; it gets its whole width
        if (identifier == LibrarySchema::FileDate || identifier == LibrarySchema::RecordingStart ||
            identifier == LibrarySchema::RecordingEnd)
            width = std::max(width, fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00 00:00:00")) +
                                        DateCellPadding);
        horizontalHeader()->resizeSection(section, width);
    }
}

void FilelistTableView::fitPathToWidth()
{
    const int path =
        filelistArrayController ? filelistArrayController->columnOfKey(LibrarySchema::FilePath) : -1;
    QHeaderView* header = horizontalHeader();
    if (!pathTakesSlack_ || path < 0 || header->isSectionHidden(path))
        return;
    int others = 0;
    for (int section : userDefaultsExtension::shownSections(header))
        others += section == path ? 0 : header->sectionSize(section);
    fittingPath_ = true;
    header->resizeSection(path,
                          std::max(defaultWidth(LibrarySchema::FilePath), viewport()->width() - others));
    fittingPath_ = false;
}

void FilelistTableView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitPathToWidth();
}

// ---- cells

QVariant FilelistTableView::objectValue(const QString& identifier, int row) const
{
    if (!filelistArrayController)
        return {};
    const ObjectId entry = filelistArrayController->objectAtRow(row);
    if (entry == NoObject)
        return {};
    const QVariant value = filelistArrayController->managedObjectContext().value(entry, identifier);
    if (identifier == LibrarySchema::FileSize) {
        const qint64 size = value.toLongLong();
        return size > 0 ? fileAttributeExtension::convertFileSizeToString(static_cast<double>(size))
                        : QString();
    }
    if (identifier == LibrarySchema::PlayTime) {
        const int seconds = value.toInt();
        return seconds > 0 ? fileAttributeExtension::convertTimeToString(seconds) : QStringLiteral("-");
    }
    if (identifier == LibrarySchema::FileDate || identifier == LibrarySchema::RecordingStart ||
        identifier == LibrarySchema::RecordingEnd) {
        const QDateTime date = value.toDateTime();
        return date.isValid() ? date.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                              : QString();
    }
    return value.toString();
}

// ---- actions

void FilelistTableView::removeItem()
{
    if (!tbArrayController || tbArrayController->getSelectedObjects(LibrarySchema::Playlist).isEmpty())
        return;
    ObjectContext* context = tbArrayController->getManagedObjectContext(LibrarySchema::Filelist);
    if (!context)
        return;
    // Each entry names its own playlist: the one the table shows, whatever row of the tree is selected
    // at this moment.
    struct Removal {
        int viewNo;
        QString uniqueId;
    };
    QList<Removal> removals;
    for (ObjectId entry : tbArrayController->getSelectedObjects(LibrarySchema::Filelist))
        removals.append({context->value(entry, LibrarySchema::ViewNo).toInt(),
                         context->value(entry, LibrarySchema::UniqueId).toString()});
    if (removals.isEmpty())
        return;
    context->beginUndoGroup(QStringLiteral("Remove from Playlist"));
    for (const Removal& removal : removals)
        tbArrayController->removeFilelist(removal.viewNo, removal.uniqueId);
    context->endUndoGroup();
    if (movController) {
        for (const Removal& removal : removals)
            movController->clearMovieView(removal.viewNo);
    }
}

void FilelistTableView::maximizeFrame()
{
    if (!tbArrayController || !viewMain)
        return;
    const QList<ObjectId> selected = tbArrayController->getSelectedObjects(LibrarySchema::Filelist);
    if (selected.isEmpty())
        return;
    ObjectContext* context = tbArrayController->getManagedObjectContext(LibrarySchema::Filelist);
    viewMain->maximizeSplitViewFrame(context->value(selected.front(), LibrarySchema::ViewNo).toInt());
}

void FilelistTableView::showFileWithFinder()
{
    const QString path = tbArrayController
                             ? tbArrayController->getColumnFromFilelist(LibrarySchema::FilePath).toString()
                             : QString();
    // looked at away from the window: a share that hangs holds the look, not the window
    auto* look = new QFutureWatcher<bool>(this);
    connect(look, &QFutureWatcherBase::finished, this, [this, look, path] {
        look->deleteLater();
        if (look->result())
            fileViewer_.selectFile(path);
        else
            dialogExtension::displayMessage(dialogs_, dialogExtension::FileIsNotFound);
    });
    look->setFuture(QtConcurrent::run(&fileLooks::pool(),
                                      [path] { return fileAttributeExtension::checkFileExists(path) > 0; }));
}

void FilelistTableView::changeColumnState(const QAction* sender)
{
    if (tcc_)
        tableColumnExtension::setColumnState(*tcc_, sender);
}

bool FilelistTableView::isShowColumn(const QString& identifier) const
{
    return tcc_ && tableColumnExtension::isShowColumnState(*tcc_, identifier);
}

bool FilelistTableView::isDisplay() const
{
    return viewport()->width() > 0 && viewport()->height() > 0;
}

void FilelistTableView::windowWillClose()
{
    userDefaultsExtension::saveTableColumnState(settings_, this, StateTableColumnFilelist);
}

void FilelistTableView::applicationWillTerminate()
{
    if (window()->isVisible())
        windowWillClose();
}

// ---- what the table and its header report

void FilelistTableView::tableViewSelectionDidChange()
{
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    int first = selected.front().row();
    for (const QModelIndex& index : selected)
        first = std::min(first, index.row());
    const int column = horizontalHeader()->logicalIndexAt(0);
    scrollTo(model()->index(first, column < 0 ? 0 : column));
}

void FilelistTableView::tableViewDidDragTableColumn()
{
    // the user's arrangement is the remembered one; the controller's own moves are not a choice
    if (tcc_ && !tcc_->isArranging())
        tcc_->sortTableColumns(this);
}

// ---- mouse and wheel

bool FilelistTableView::isContextClick(const QMouseEvent* event)
{
    return event->button() == Qt::RightButton ||
           (event->button() == Qt::LeftButton && (event->modifiers() & Qt::MetaModifier));
}

void FilelistTableView::mousePressEvent(QMouseEvent* event)
{
    if (isContextClick(event)) {
        contextClick_ = true;
        event->accept();
        rightMouseDown(event->position().toPoint(), event->globalPosition().toPoint());
        return;
    }
    contextClick_ = false;
    QTableView::mousePressEvent(event);
}

void FilelistTableView::mouseMoveEvent(QMouseEvent* event)
{
    // the button that opened the menu is still down: no rubber band selection from it
    if (contextClick_) {
        event->accept();
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void FilelistTableView::mouseReleaseEvent(QMouseEvent* event)
{
    if (contextClick_) {
        contextClick_ = false;
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void FilelistTableView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // a quick second context click is another context click, not a request to zoom
    if (isContextClick(event)) {
        mousePressEvent(event);
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void FilelistTableView::rightMouseDown(const QPoint& position, const QPoint& globalPosition)
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return;
    const bool extends = selectionModel()->selectedRows().size() > 1;
    selectionModel()->select(index,
                             (extends ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
                                 QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    if (cmFilelist)
        cmFilelist->popup(globalPosition);
}

void FilelistTableView::wheelEvent(QWheelEvent* event)
{
    // the wheel steps through the entries; the table itself does not scroll
    event->accept();
    const std::optional<int> direction = wheel_.moveDirection(*event);
    if (direction && tbArrayController)
        tbArrayController->moveIndexFilelist(*direction);
}

// ---- files dropped from other programs

void FilelistTableView::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void FilelistTableView::dragMoveEvent(QDragMoveEvent* event)
{
    // A pane's file dragged here has no pane to go to; only other programs' files are opened.
    if (!event->source() && fileDrag::isCopyableFileList(*event) &&
        !fileDrag::localFiles(*event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FilelistTableView::startDrag(Qt::DropActions)
{
    if (!tbArrayController)
        return;
    ObjectContext* context = tbArrayController->getManagedObjectContext(LibrarySchema::Filelist);
    QStringList paths;
    for (ObjectId entry : tbArrayController->getSelectedObjects(LibrarySchema::Filelist)) {
        const QString path = context->value(entry, LibrarySchema::FilePath).toString();
        if (!path.isEmpty())
            paths << path;
    }
    if (paths.isEmpty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(fileDrag::mimeDataForFiles(paths));
    // the entries stay in the playlist and the files where they are
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

void FilelistTableView::dropEvent(QDropEvent* event)
{
    const QStringList paths = !event->source() && fileDrag::isCopyableFileList(*event)
                                  ? fileDrag::localFiles(*event->mimeData())
                                  : QStringList();
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Q_EMIT filesDropped(paths);
}

} // namespace tetrapan
