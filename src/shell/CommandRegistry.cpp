#include "shell/CommandRegistry.h"

#include "panes/CMMovieView.h"
#include "panes/MenuLine.h"

#include <QAction>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

#include <algorithm>
#include <optional>

namespace tetrapan {

Q_LOGGING_CATEGORY(lcCommands, "tetrapan.commands", QtWarningMsg)

namespace {

// the menu that stands for the pane menus in the commands' texts
const QString PaneMenuName = QStringLiteral("pane");

QString commandText(const QAction* action)
{
    const QVariant own = action->property(MenuLine::CommandTextProperty);
    return own.isValid() ? own.toString() : action->text();
}

QString shownText(const QString& text)
{
    QString shown = text.section(QLatin1Char('\t'), 0, 0);
    // "&&" shows an ampersand, a single "&" marks the mnemonic
    shown.replace(QLatin1String("&&"), QString(QChar::Null));
    shown.remove(QLatin1Char('&'));
    shown.replace(QChar::Null, QLatin1Char('&'));
    shown.remove(QChar(0x2026));
    while (shown.endsWith(QLatin1Char('.')))
        shown.chop(1);
    return shown.trimmed();
}

int distance(const QString& a, const QString& b)
{
    QList<int> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

struct CommandRegistry::Item {
    Command command;
    QPointer<QAction> item;
    // as the open menu showed it: a greyed submenu greys what it holds
    bool enabled = false;

    bool isEnabled() const { return item && enabled; }
};

namespace {

struct Walker {
    bool refresh = false;
    bool forPane = false;
    QSet<QString> names;
    QSet<const QAction*> seen;

    template <typename Add>
    void menu(QMenu* menu, const QString& prefix, const QString& path, const QString& top,
              QList<QPointer<QAction>> under, const Add& add)
    {
        // as opening it would: a menu rebuilt before each opening has its items only then, and one may set
        // its items for the open menu alone, which closing it undoes
        if (refresh)
            Q_EMIT menu->aboutToShow();
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            const QString text = commandText(action);
            const QString own = CommandRegistry::nameOf(text);
            if (own.isEmpty())
                continue;
            const QString where =
                path.isEmpty() ? shownText(text) : path + QStringLiteral(" > ") + shownText(text);
            if (QMenu* sub = action->menu()) {
                QList<QPointer<QAction>> deeper = under;
                deeper << action;
                this->menu(sub, prefix + own + QLatin1Char('-'), where, top, deeper, add);
                continue;
            }
            if (seen.contains(action))
                continue;
            seen.insert(action);
            QString name = prefix + own;
            if (names.contains(name))
                name = top + QLatin1Char('-') + name;
            if (names.contains(name)) {
                qCWarning(lcCommands, "Two commands are named %s; \"%s\" has no name.", qPrintable(name),
                          qPrintable(where));
                continue;
            }
            names.insert(name);
            // the key as the menu shows it now
            const QString hint = action->text().section(QLatin1Char('\t'), 1);
            CommandRegistry::Command command;
            command.name = name;
            command.text = where;
            command.forPane = forPane;
            command.keyOfItsOwn = !hint.isEmpty();
            command.key = hint.isEmpty() ? action->shortcut().toString(QKeySequence::PortableText) : hint;
            const bool enabled = action->isEnabled() &&
                                 std::all_of(under.cbegin(), under.cend(),
                                             [](const QPointer<QAction>& a) { return a && a->isEnabled(); });
            add(command, action, enabled);
        }
        if (refresh)
            Q_EMIT menu->aboutToHide();
    }
};

} // namespace

CommandRegistry::CommandRegistry(QMainWindow& window, std::function<QMenu*(int)> paneMenu)
    : window_(window), paneMenu_(std::move(paneMenu)), namingPaneMenu_(std::make_unique<CMMovieView>())
{
    namingPaneMenu_->awakeFromNib();
}

CommandRegistry::~CommandRegistry() = default;

QString CommandRegistry::nameOf(const QString& text)
{
    QStringList words;
    QString word;
    for (const QChar c : text.section(QLatin1Char('\t'), 0, 0)) {
        // the mnemonic's mark is inside a word ("Sna&pshot")
        if (c == QLatin1Char('&'))
            continue;
        if (c.isLetterOrNumber()) {
            word += c.toLower();
        } else if (!word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    if (!word.isEmpty())
        words << word;
    return words.join(QLatin1Char('-'));
}

QList<CommandRegistry::Item> CommandRegistry::walk(bool refresh, QMenu* paneMenu, bool withMain) const
{
    QList<Item> items;
    const auto add = [&items](const Command& command, QAction* action, bool enabled) {
        items.append({command, action, enabled});
    };
    Walker walker;
    walker.refresh = refresh;
    if (withMain) {
        for (QAction* top : window_.menuBar()->actions()) {
            if (QMenu* menu = top->menu())
                walker.menu(menu, {}, shownText(top->text()), nameOf(top->text()), {top}, add);
        }
    }
    if (paneMenu) {
        walker.forPane = true;
        walker.seen.clear();
        walker.menu(paneMenu, {}, QStringLiteral("Pane n"), PaneMenuName, {}, add);
    }
    return items;
}

QList<CommandRegistry::Command> CommandRegistry::commands() const
{
    // An item that is the same action after its menu was brought up to date twice is one the menu keeps; the
    // others are made anew at each opening.
    QHash<QString, QPointer<QAction>> before;
    for (const Item& item : walk(true, namingPaneMenu_.get(), true))
        before.insert(item.command.name, item.item);
    QList<Command> commands;
    for (Item& item : walk(true, namingPaneMenu_.get(), true)) {
        const QPointer<QAction> earlier = before.value(item.command.name);
        if (!item.command.forPane && earlier && earlier == item.item)
            item.command.action = item.item;
        commands << item.command;
    }
    return commands;
}

QStringList CommandRegistry::nearest(const QString& name, int most) const
{
    const QString wanted = nameOf(name);
    QList<std::pair<int, QString>> scored;
    for (const Command& command : commands()) {
        // a name mistyped, or its beginning mistyped ("plya-or-stop")
        int score =
            std::min(distance(wanted, command.name), distance(wanted, command.name.left(wanted.size())) + 1);
        // a part of a name ("zoom", "offset") finds the names it is in
        if (!wanted.isEmpty() && command.name.contains(wanted))
            score = std::min<int>(score, 1 + int(command.name.size() - wanted.size()) / 4);
        if (score <= std::max<qsizetype>(2, wanted.size() / 3))
            scored.append({score, command.name});
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList names;
    for (qsizetype i = 0; i < scored.size() && i < most; ++i)
        names << scored.at(i).second;
    return names;
}

std::optional<CommandRegistry::Item> CommandRegistry::find(const QString& name, int viewNo,
                                                           QString* refusal) const
{
    const auto refused = [refusal](const QString& why) {
        if (refusal)
            *refusal = why;
        return std::nullopt;
    };
    // no command's name comes near it, and looking for the nearest would take the window's thread for ages
    // (a name from any program on the session bus may be megabytes long)
    if (name.size() > MaxNameLength) {
        return refused(
            QStringLiteral("Tetrapan has no command \"%1\u2026\" (tetrapan --list-actions lists them).")
                .arg(name.left(MaxNameLength)));
    }
    const auto named = [&name](const QList<Item>& items) -> std::optional<Item> {
        const auto it = std::find_if(items.cbegin(), items.cend(),
                                     [&name](const Item& i) { return i.command.name == name; });
        return it == items.cend() ? std::nullopt : std::optional<Item>(*it);
    };
    std::optional<Item> found = named(walk(true, namingPaneMenu_.get(), true));
    QMenu* paneMenu = paneMenu_ && viewNo >= 1 && viewNo <= PaneCount ? paneMenu_(viewNo) : nullptr;
    const QList<Item> ofPane = paneMenu ? walk(true, paneMenu, true) : QList<Item>();
    // an item a pane's menu shows only for a pane in some state, which the menu of no pane lacks
    if (!found && paneMenu) {
        found = named(ofPane);
        if (found && !found->command.forPane)
            found.reset();
    }
    if (!found) {
        const QStringList near = nearest(name);
        return refused(near.isEmpty()
                           ? QStringLiteral("Tetrapan has no command \"%1\" (tetrapan --list-actions "
                                            "lists them).")
                                 .arg(name)
                           : QStringLiteral("Tetrapan has no command \"%1\". The nearest: %2.")
                                 .arg(name, near.join(QStringLiteral(", "))));
    }
    if (!found->command.forPane && viewNo != 0)
        return refused(QStringLiteral("\"%1\" is no command of a pane: it takes no pane number.").arg(name));
    if (found->command.forPane) {
        if (!paneMenu)
            return refused(
                QStringLiteral("\"%1\" is a command of a pane: give its number, 1 to %2 (--pane N).")
                    .arg(name)
                    .arg(PaneCount));
        found = named(ofPane);
        // an item the pane's menu shows only in some states ("Copy To" of a pane without a movie)
        if (!found || !found->command.forPane)
            return refused(QStringLiteral("\"%1\" cannot be chosen in pane %2 now.").arg(name).arg(viewNo));
    }
    if (!found->isEnabled()) {
        const QString where = found->command.forPane ? QStringLiteral(" in pane %1").arg(viewNo) : QString();
        return refused(QStringLiteral("\"%1\" (%2) cannot be chosen%3 now: its menu item is greyed.")
                           .arg(name, found->command.text, where));
    }
    return found;
}

QString CommandRegistry::run(const QString& name, int viewNo) const
{
    QString refusal;
    if (!find(name, viewNo, &refusal))
        return refusal;
    // The item is found again when its turn comes: a menu that makes its items anew each time it is brought
    // up to date (Frame Set, a pane's menu) may have been, for another command, and the item found now gone.
    QMetaObject::invokeMethod(
        &window_,
        [this, alive = std::weak_ptr<const bool>(alive_), name, viewNo] {
            if (alive.expired())
                return;
            if (const std::optional<Item> item = find(name, viewNo, nullptr))
                item->item->trigger();
        },
        Qt::QueuedConnection);
    return {};
}

} // namespace tetrapan
