#pragma once

#include <QStyledItemDelegate>

namespace tetrapan {

class FilelistTableView;

// Draws a file table cell with the text the table gives for it: stored values as a person reads them
// (a play time as m:ss, a size in KB, MB or GB), the numbers aligned right.
class FilelistTableCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit FilelistTableCell(FilelistTableView* table);
    ~FilelistTableCell() override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    FilelistTableView* table_;
};

} // namespace tetrapan
