#include "playlist/tableColumnExtension.h"

#include "platform/SettingsDomain.h"
#include "playlist/TableColumnController.h"

#include <QAction>
#include <QSet>

namespace tetrapan::tableColumnExtension {

namespace {

const QString IdentifierKey = QStringLiteral("identifier");

QSet<QString> storedIdentifiers(const SettingsDomain& domain, const QString& key)
{
    QSet<QString> identifiers;
    const QVariant stored = domain.objectForKey(key);
    const int type = stored.metaType().id();
    if (type != QMetaType::QVariantList && type != QMetaType::QStringList)
        return identifiers;
    for (const QVariant& entry : stored.toList()) {
        const QVariantMap column = entry.toMap();
        if (column.contains(IdentifierKey))
            identifiers.insert(column.value(IdentifierKey).toString());
    }
    return identifiers;
}

} // namespace

void showTableColumns(const SettingsDomain& domain, TableColumnController& controller, QTableView* table,
                      const QStringList& defaultHideCols, const QString& key)
{
    const QSet<QString> stored = storedIdentifiers(domain, key);
    // a copy: hiding takes columns out of the table while it is walked
    const QStringList columns = TableColumnController::tableColumns(table);
    for (const QString& identifier : columns) {
        const bool show =
            stored.isEmpty() ? !defaultHideCols.contains(identifier) : stored.contains(identifier);
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
