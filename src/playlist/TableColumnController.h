#pragma once

#include "playlist/ColumnHolder.h"

#include <QHash>
#include <QString>
#include <QStringList>

class QHeaderView;
class QTableView;

namespace tetrapan {

// Hides and shows the file table's columns, putting a shown column back at its remembered place. It
// remembers every column the table had when it was made, in the order they stood then; the user's
// dragging of columns becomes the remembered order (sortTableColumns).
//
// A column is "in the table" when its header section is not hidden; the table's columns are the shown
// sections from left to right, and a place counts shown columns only. A column's identifier is what the
// model answers as horizontal header data for FilelistArrayController::AttributeKeyRole.
class TableColumnController {
public:
    explicit TableColumnController(QTableView* table);

    // Every shown column of the table at its present place.
    void sortTableColumns(QTableView* table);
    // Added at the right end, then moved to its remembered place when the table has columns that far.
    void showColumn(const QString& identifier);
    // Never the last shown column.
    void hideColumn(const QString& identifier);
    // false for an identifier the controller does not know.
    bool isShowColumn(const QString& identifier) const;

    // The controller is moving columns itself; the header reports those moves like a user's drag.
    bool isArranging() const { return arranging_; }

    // The identifiers of the table's shown columns, left to right.
    static QStringList tableColumns(const QTableView* table);

private:
    static QString identifierOf(const QTableView* table, int section);

    QTableView* table_;
    QHash<QString, ColumnHolder> columnHolders_;
    bool arranging_ = false;
};

} // namespace tetrapan
