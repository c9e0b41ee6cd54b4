#include "playlist/CMFilelistHeader.h"

#include "playlist/FilelistTableView.h"
#include "playlist/TableColumnController.h"

namespace tetrapan {

CMFilelistHeader::CMFilelistHeader(QWidget* parent) : QMenu(parent) {}

CMFilelistHeader::~CMFilelistHeader() = default;

void CMFilelistHeader::awakeFromNib()
{
    if (awake_)
        return;
    awake_ = true;
    connect(this, &QMenu::aboutToShow, this, &CMFilelistHeader::menuNeedsUpdate);
}

QStringList CMFilelistHeader::createMenuArray()
{
    return {
        QStringLiteral("Pane,viewNo"),      QStringLiteral("Path,filePath"),
        QStringLiteral("Time,playTime"),    QStringLiteral("Size,fileSize"),
        QStringLiteral("Date,fileDate"),    QStringLiteral("Start,recordingStart"),
        QStringLiteral("End,recordingEnd"), QStringLiteral("Files,fileCount"),
    };
}

void CMFilelistHeader::menuNeedsUpdate()
{
    setMenuItem();
}

void CMFilelistHeader::setMenuItem()
{
    clear();
    // a header with no column left has nothing to right-click, so no way to bring a column back
    const qsizetype shownCount = tbvFilelist && tbvFilelist->columnController()
                                     ? TableColumnController::tableColumns(tbvFilelist).size()
                                     : 0;
    for (const QString& line : createMenuArray()) {
        const QStringList parts = line.split(QLatin1Char(','));
        const QString title = parts.value(0);
        const QString identifier = parts.value(1);
        const bool shown = tbvFilelist && tbvFilelist->isShowColumn(identifier);
        QAction* item = addAction(title);
        item->setCheckable(true);
        item->setChecked(shown);
        item->setEnabled(!shown || shownCount > 1);
        item->setData(QStringLiteral("%1,%2").arg(identifier).arg(shown ? 1 : 0));
        if (tbvFilelist) {
            FilelistTableView* table = tbvFilelist;
            connect(item, &QAction::triggered, table, [table, item] { table->changeColumnState(item); });
        }
    }
}

} // namespace tetrapan
