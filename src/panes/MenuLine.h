#pragma once

#include <QString>

namespace tetrapan {

// One menu definition line, "title,action,tag,key", from which the pane menu, its copy submenu and the
// frame-set menu build their items. A title "-" makes the line a separator ("-,,,").
struct MenuLine {
    QString title;
    QString action;
    QString tag;
    QString key;

    bool isSeparator() const { return title == QLatin1String("-"); }

    // Split at every ","; missing fields read as empty.
    static MenuLine parse(const QString& line);

    // The property of an item whose shown text carries a changing state ("Clear Offset (+1.5 s)"): the
    // command's own text, which its name is made from.
    static constexpr const char* CommandTextProperty = "commandText";
};

} // namespace tetrapan
