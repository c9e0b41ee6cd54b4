#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace tetrapan {

// The keys of the program's commands, read from the windows themselves (their menus, their actions and
// buttons with a key), so the list the help shows is always the one the program answers to.
class ShortcutList {
public:
    struct Entry {
        QString keys;    // "Ctrl+S", or several joined by ", "
        QString command; // "File > Save" for a menu item, otherwise the command's own name
        QString place;   // where the keys work
    };

    // place names the window. A key is listed with every registered window it works in, or as working in
    // any window.
    void addWindow(const QString& place, QWidget* window);

    // Each command once, window by window in the order they were added, menus first and in menu order.
    QList<Entry> entries() const;
    // The entries as an HTML table.
    QString toHtml() const;

private:
    QList<QPair<QString, QPointer<QWidget>>> windows_;
};

} // namespace tetrapan
