#include "palette/ShortcutList.h"

#include <QAbstractButton>
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

namespace tetrapan {

namespace {

const QString AnyWindow = QStringLiteral("any window");

QString plainText(QString text)
{
    // "&&" is a shown ampersand, a single "&" marks the mnemonic
    text.replace(QLatin1String("&&"), QString(QChar::Null));
    text.remove(QLatin1Char('&'));
    text.replace(QChar::Null, QLatin1Char('&'));
    return text;
}

QString keysOf(const QList<QKeySequence>& shortcuts)
{
    QStringList keys;
    for (const QKeySequence& shortcut : shortcuts) {
        if (!shortcut.isEmpty())
            keys << shortcut.toString(QKeySequence::NativeText);
    }
    return keys.join(QStringLiteral(", "));
}

class Collector {
public:
    QList<ShortcutList::Entry> entries;

    void add(QAction* action, const QString& command, const QString& place)
    {
        if (!action || action->isSeparator() || seen_.contains(action))
            return;
        seen_.insert(action);
        const QString keys = keysOf(action->shortcuts());
        if (keys.isEmpty())
            return;
        const QString name = plainText(command.isEmpty() ? action->toolTip() : command);
        entries.append(
            {keys, name, action->shortcutContext() == Qt::ApplicationShortcut ? AnyWindow : place});
    }

    void addMenu(const QMenu* menu, const QString& path, const QString& place)
    {
        for (QAction* action : menu->actions()) {
            const QString command = path + QStringLiteral(" > ") + plainText(action->text());
            if (action->menu())
                addMenu(action->menu(), command, place);
            else
                add(action, command, place);
        }
    }

    void addWindow(QWidget* window, const QString& place)
    {
        if (auto* main = qobject_cast<QMainWindow*>(window); main && main->menuWidget()) {
            for (QAction* top : main->menuBar()->actions()) {
                if (top->menu())
                    addMenu(top->menu(), plainText(top->text()), place);
            }
        }
        for (QAction* action : window->actions())
            add(action, action->text(), place);
        for (QAction* action : window->findChildren<QAction*>())
            add(action, action->text(), place);
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            const QString keys = keysOf({button->shortcut()});
            if (!keys.isEmpty())
                entries.append({keys, button->accessibleName(), place});
        }
    }

private:
    QSet<const QAction*> seen_;
};

} // namespace

void ShortcutList::addWindow(const QString& place, QWidget* window)
{
    windows_.append({place, window});
}

QList<ShortcutList::Entry> ShortcutList::entries() const
{
    Collector collector;
    for (const auto& [place, window] : windows_) {
        if (window)
            collector.addWindow(window, place);
    }
    return collector.entries;
}

QString ShortcutList::toHtml() const
{
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">"
                                  "<tr><th align=\"left\">Keys</th><th align=\"left\">Command</th>"
                                  "<th align=\"left\">Where</th></tr>");
    for (const Entry& entry : entries()) {
        html +=
            QStringLiteral("<tr><td><b>%1</b></td><td>%2</td><td>%3</td></tr>")
                .arg(entry.keys.toHtmlEscaped(), entry.command.toHtmlEscaped(), entry.place.toHtmlEscaped());
    }
    return html + QStringLiteral("</table>");
}

} // namespace tetrapan
