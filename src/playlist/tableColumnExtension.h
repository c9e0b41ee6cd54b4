#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

class QAction;
class QTableView;

namespace tetrapan {

class SettingsDomain;
class TableColumnController;

// Applying and reading which of the file table's columns are shown. They hold no state of their own.
namespace tableColumnExtension {

// The columns shown at start: with a stored column state under the key, exactly the columns it shows;
// without one, every column but those hidden by default. A column added to the table since lists were
// first stored (addedCols) that a stored list does not name at all is newer than the list: as by default.
void showTableColumns(const SettingsDomain& domain, TableColumnController& controller, QTableView* table,
                      const QStringList& defaultHideCols, const QStringList& addedCols, const QString& key);
// Every column a stored column state names, shown or hidden.
QSet<QString> storedColumns(const SettingsDomain& domain, const QString& key);

// A header menu item toggles its column: its data is "identifier,1" for a shown column, "identifier,0" for
// a hidden one.
void setColumnState(TableColumnController& controller, const QAction* sender);

bool isShowColumnState(const TableColumnController& controller, const QString& identifier);

} // namespace tableColumnExtension
} // namespace tetrapan
