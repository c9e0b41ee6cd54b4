#pragma once

#include <QString>
#include <QStringList>

class QAction;
class QTableView;

namespace tetrapan {

class SettingsDomain;
class TableColumnController;

// Applying and reading which of the file table's columns are shown. They hold no state of their own.
namespace tableColumnExtension {

// The columns shown at start: with a stored column state under the key, exactly the columns it names
// (hidden ones are absent from it); without one, every column but those hidden by default.
void showTableColumns(const SettingsDomain& domain, TableColumnController& controller, QTableView* table,
                      const QStringList& defaultHideCols, const QString& key);

// A header menu item toggles its column: its data is "identifier,1" for a shown column, "identifier,0" for
// a hidden one.
void setColumnState(TableColumnController& controller, const QAction* sender);

bool isShowColumnState(const TableColumnController& controller, const QString& identifier);

} // namespace tableColumnExtension
} // namespace tetrapan
