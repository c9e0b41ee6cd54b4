#pragma once

namespace tetrapan {

// What the column controller remembers of one column of the file table: its place (0 the leftmost shown
// column), the header section that is the column, and whether it is in the table. A hidden column keeps
// its section and its place, so showing it puts it back where it was.
class ColumnHolder {
public:
    ColumnHolder() = default;
    ColumnHolder(int order, int column) : order_(order), column_(column) {}

    int order() const { return order_; }
    void setOrder(int order) { order_ = order; }
    // The column's logical section in the table's header.
    int column() const { return column_; }
    bool isShow() const { return isShow_; }
    void setIsShow(bool isShow) { isShow_ = isShow; }

private:
    int order_ = 0;
    int column_ = -1;
    bool isShow_ = true;
};

} // namespace tetrapan
