#include "widgets/ListFontSize.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>

namespace tetrapan::listFontSize {

namespace {

// room above and below a table row's text
constexpr int RowPadding = 6;

// A hidden column keeps the width it had, which its header no longer tells.
void widenColumns(QHeaderView* header, double factor)
{
    for (int section = 0; section < header->count(); ++section) {
        if (!header->isSectionHidden(section))
            header->resizeSection(section, qRound(header->sectionSize(section) * factor));
    }
}

} // namespace

void apply(QWidget* window, int points)
{
    if (!window)
        return;
    const int size = std::clamp(points, Minimum, Maximum);
    for (QAbstractItemView* view : window->findChildren<QAbstractItemView*>()) {
        // a header takes its size from its view
        if (qobject_cast<QHeaderView*>(view))
            continue;
        QFont font = view->font();
        const int before = font.pointSize();
        if (before == size)
            continue;
        font.setPointSize(size);
        view->setFont(font);
        // a tree's rows follow their text; a table's have a height of their own, and its columns a width
        if (auto* table = qobject_cast<QTableView*>(view)) {
            table->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + RowPadding);
            if (before > 0)
                widenColumns(table->horizontalHeader(), static_cast<double>(size) / before);
        }
    }
}

} // namespace tetrapan::listFontSize
