#include "playlist/tableColumnExtension.h"

#include "platform/SettingsDomain.h"
#include "playlist/TableColumnController.h"

#include <QAction>
#include <QSet>

namespace tetrapan::tableColumnExtension {

namespace {

const QString IdentifierKey = QStringLiteral("identifier");
const QString HiddenKey = QStringLiteral("hidden");

// The columns a stored list names, only those it shows or all it knew of.
QSet<QString> storedIdentifiers(const SettingsDomain& domain, const QString& key, bool shownOnly)
{
    QSet<QString> identifiers;
    const QVariant stored = domain.objectForKey(key);
    const int type = stored.metaType().id();
    if (type != QMetaType::QVariantList && type != QMetaType::QStringList)
        return identifiers;
    for (const QVariant& entry : stored.toList()) {
        const QVariantMap column = entry.toMap();
        if (column.contains(IdentifierKey) && !(shownOnly && column.value(HiddenKey).toBool()))
            identifiers.insert(column.value(IdentifierKey).toString());
    }
    return identifiers;
}

} // namespace

QSet<QString> storedColumns(const SettingsDomain& domain, const QString& key)
{
    return storedIdentifiers(domain, key, false);
}

void showTableColumns(const SettingsDomain& domain, TableColumnController& controller, QTableView* table,
                      const QStringList& defaultHideCols, const QStringList& addedCols, const QString& key)
{
    const QSet<QString> stored = storedIdentifiers(domain, key, true);
    const QSet<QString> known = storedColumns(domain, key);
    // a copy: hiding takes columns out of the table while it is walked
    const QStringList columns = TableColumnController::tableColumns(table);
    for (const QString& identifier : columns) {
        const bool newer = addedCols.contains(identifier) && !known.contains(identifier);
        const bool show =
            stored.isEmpty() || newer ? !defaultHideCols.contains(identifier) : stored.contains(identifier);
        if (show)
            controller.showColumn(identifier);
        else
            controller.hideColumn(identifier);
    }
}

void setColumnState(TableColumnController& controller, const QAction* sender)
{
    if (!sender)
        return;
    const QStringList parts = sender->data().toString().split(QLatin1Char(','));
    const QString identifier = parts.value(0);
    if (parts.value(1).toInt() != 0)
        controller.hideColumn(identifier);
    else
        controller.showColumn(identifier);
}

bool isShowColumnState(const TableColumnController& controller, const QString& identifier)
{
    return controller.isShowColumn(identifier);
}

} // namespace tetrapan::tableColumnExtension
