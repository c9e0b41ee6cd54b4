#include "playlist/TableColumnController.h"

#include "library/FilelistArrayController.h"
#include "widgets/userDefaultsViewState.h"

#include <QHeaderView>
#include <QTableView>

namespace tetrapan {

TableColumnController::TableColumnController(QTableView* table) : table_(table)
{
    if (!table_ || !table_->model())
        return;
    const QList<int> sections = userDefaultsExtension::shownSections(table_->horizontalHeader());
    for (qsizetype order = 0; order < sections.size(); ++order) {
        const QString identifier = identifierOf(table_, sections[order]);
        if (columnHolders_.contains(identifier))
            qWarning("Warning: identifier '%s' already exists.", qPrintable(identifier));
        columnHolders_.insert(identifier, ColumnHolder(static_cast<int>(order), sections[order]));
    }
}

QString TableColumnController::identifierOf(const QTableView* table, int section)
{
    return table->model()
        ->headerData(section, Qt::Horizontal, FilelistArrayController::AttributeKeyRole)
        .toString();
}

QStringList TableColumnController::tableColumns(const QTableView* table)
{
    QStringList identifiers;
    if (!table || !table->model())
        return identifiers;
    for (int section : userDefaultsExtension::shownSections(table->horizontalHeader()))
        identifiers.append(identifierOf(table, section));
    return identifiers;
}

void TableColumnController::sortTableColumns(QTableView* table)
{
    const QStringList columns = tableColumns(table);
    for (qsizetype order = 0; order < columns.size(); ++order) {
        const auto holder = columnHolders_.find(columns[order]);
        if (holder != columnHolders_.end())
            holder->setOrder(static_cast<int>(order));
    }
}

void TableColumnController::showColumn(const QString& identifier)
{
    if (!table_ || tableColumns(table_).contains(identifier))
        return;
    const auto holder = columnHolders_.find(identifier);
    if (holder == columnHolders_.end())
        return;
    QHeaderView* header = table_->horizontalHeader();
    const int section = holder->column();
    arranging_ = true;
    header->showSection(section);
    // behind every other section, so behind the last shown column
    header->moveSection(header->visualIndex(section), header->count() - 1);
    const QList<int> shown = userDefaultsExtension::shownSections(header);
    const int last = static_cast<int>(shown.size()) - 1;
    if (last > holder->order() && holder->order() >= 0)
        header->moveSection(header->visualIndex(section), header->visualIndex(shown.at(holder->order())));
    arranging_ = false;
    holder->setIsShow(true);
}

void TableColumnController::hideColumn(const QString& identifier)
{
    // the last column stays: a header without one has no height and nothing to right-click
    const QStringList shown = tableColumns(table_);
    if (!table_ || !shown.contains(identifier) || shown.size() <= 1)
        return;
    const auto holder = columnHolders_.find(identifier);
    if (holder == columnHolders_.end())
        return;
    table_->horizontalHeader()->hideSection(holder->column());
    holder->setIsShow(false);
}

bool TableColumnController::isShowColumn(const QString& identifier) const
{
    const auto holder = columnHolders_.constFind(identifier);
    return holder != columnHolders_.cend() && holder->isShow();
}

} // namespace tetrapan
