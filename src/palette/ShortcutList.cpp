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

// The window an action's keys belong to through one of the widgets it is in. A menu is a window of its own;
// it belongs to the window it drops down from.
QWidget* windowOf(QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    while (auto* menu = qobject_cast<QMenu*>(widget))
        widget = menu->parentWidget();
    return widget ? widget->window() : nullptr;
}

class Collector {
public:
    using Windows = QList<QPair<QString, QPointer<QWidget>>>;

    explicit Collector(const Windows& windows) : windows_(windows) {}

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
        entries.append({keys, name, placesOf(action, place)});
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
    // Every window the action answers in: the windows it was added to (a window menu's items answer in
    // the floating windows as well), or any window for an application-wide key.
    QString placesOf(const QAction* action, const QString& foundIn) const
    {
        if (action->shortcutContext() == Qt::ApplicationShortcut)
            return AnyWindow;
        QStringList places;
        for (QObject* object : action->associatedObjects()) {
            const QWidget* window = windowOf(object);
            for (const auto& [place, registered] : windows_) {
                if (registered.data() == window && !places.contains(place))
                    places << place;
            }
        }
        return places.isEmpty() ? foundIn : places.join(QStringLiteral(", "));
    }

    const Windows& windows_;
    QSet<const QAction*> seen_;
};

} // namespace

void ShortcutList::addWindow(const QString& place, QWidget* window)
{
    windows_.append({place, window});
}

QList<ShortcutList::Entry> ShortcutList::entries() const
{
    Collector collector(windows_);
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
