#include "playlist/FilelistTableCell.h"

#include "library/FilelistArrayController.h"
#include "library/LibrarySchema.h"
#include "playlist/FilelistTableView.h"

namespace tetrapan {

FilelistTableCell::FilelistTableCell(FilelistTableView* table) : QStyledItemDelegate(table), table_(table) {}

FilelistTableCell::~FilelistTableCell() = default;

void FilelistTableCell::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QString identifier = index.data(FilelistArrayController::AttributeKeyRole).toString();
    option->text = table_->objectValue(identifier, index.row()).toString();
    if (identifier == LibrarySchema::PlayTime || identifier == LibrarySchema::FileSize)
        option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
}

} // namespace tetrapan
