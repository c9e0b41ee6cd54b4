#include "palette/ListFontSize.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>

namespace tetrapan::listFontSize {

namespace {

// room above and below a table row's text
constexpr int RowPadding = 6;

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
        if (font.pointSize() == size)
            continue;
        font.setPointSize(size);
        view->setFont(font);
        // a tree's rows follow their text; a table's have a height of their own
        if (auto* table = qobject_cast<QTableView*>(view))
            table->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + RowPadding);
    }
}

} // namespace tetrapan::listFontSize
