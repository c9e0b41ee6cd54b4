#pragma once

#include <QMenu>
#include <QStringList>

namespace tetrapan {

class FilelistTableView;

// The file table's header menu: one checkable item per column a user may hide, checked while the column is
// shown. It is rebuilt from its definition lines every time it opens, so its checks always match the table.
// The last shown column's item is greyed: the table always keeps one column.
class CMFilelistHeader : public QMenu {
    Q_OBJECT
public:
    explicit CMFilelistHeader(QWidget* parent = nullptr);
    ~CMFilelistHeader() override;

    // outlet
    FilelistTableView* tbvFilelist = nullptr;

    void awakeFromNib();
    void menuNeedsUpdate();
    void setMenuItem();
    // "title,column identifier", in menu order.
    static QStringList createMenuArray();

private:
    bool awake_ = false;
};

} // namespace tetrapan
