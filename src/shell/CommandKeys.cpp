#include "shell/CommandKeys.h"

#include "panes/MenuLine.h"
#include "platform/SettingsDomain.h"
#include "shell/CommandRegistry.h"

#include <QAction>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QWidget>

namespace tetrapan {

Q_LOGGING_CATEGORY(lcKeys, "tetrapan.keys", QtWarningMsg)

CommandKeys::CommandKeys(SettingsDomain& settings, CommandRegistry& commands, QWidget& window,
                         QObject* parent)
    : QObject(parent), settings_(settings), commands_(commands), window_(window)
{
    connect(&settings_, &SettingsDomain::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(OptKeys))
            apply();
    });
    apply();
}

CommandKeys::~CommandKeys() = default;

QString CommandKeys::normalKey(const QString& text, bool* ok)
{
    *ok = true;
    if (text.trimmed().isEmpty())
        return {};
    // what Qt cannot read ("Ctrl+Foo", "Shift+") it reads as an unknown key
    const QKeySequence key = QKeySequence::fromString(text.trimmed(), QKeySequence::PortableText);
    *ok = !key.isEmpty();
    for (int i = 0; *ok && i < key.count(); ++i)
        *ok = key[i].key() != Qt::Key_unknown && key[i].key() != 0;
    return *ok ? key.toString(QKeySequence::PortableText) : QString();
}

// A command's default is the key its action had before any choice of the user's was given to it.
void CommandKeys::learnDefaults()
{
    rows_.clear();
    for (const CommandRegistry::Command& command : commands_.commands()) {
        Row row;
        row.name = command.name;
        row.text = command.text;
        // seen first with its key after a tab, which the panes answer; later with it or with one of its own
        if (command.action && command.keyOfItsOwn && !ownTexts_.contains(command.name))
            ownTexts_.insert(command.name, command.action->text());
        row.changeable = command.action != nullptr;
        if (row.changeable) {
            if (!defaults_.contains(command.name))
                defaults_.insert(command.name, command.key);
            actions_.insert(command.name, command.action);
            row.defaultKey = defaults_.value(command.name);
        } else {
            row.defaultKey = command.key;
        }
        row.key = row.defaultKey;
        rows_ << row;
    }
}

void CommandKeys::logOnce(const QString& fault)
{
    if (logged_.contains(fault))
        return;
    logged_.insert(fault);
    qCWarning(lcKeys, "%s", qPrintable(fault));
}

void CommandKeys::apply()
{
    learnDefaults();
    const QVariant stored = settings_.objectForKey(QLatin1String(OptKeys));
    if (stored.isValid() && stored.typeId() != QMetaType::QVariantMap)
        logOnce(
            QStringLiteral("The setting %1 is no dictionary of commands and keys: every command keeps its "
                           "default key.")
                .arg(QLatin1String(OptKeys)));
    const QVariantMap chosen = stored.toMap();
    QHash<QString, qsizetype> rowOf;
    for (qsizetype i = 0; i < rows_.size(); ++i)
        rowOf.insert(rows_.at(i).name, i);
    QSet<QString> fromSettings;
    for (auto it = chosen.cbegin(); it != chosen.cend(); ++it) {
        const qsizetype at = rowOf.value(it.key(), -1);
        if (at < 0 || !rows_.at(at).changeable) {
            logOnce(QStringLiteral("The key setting for \"%1\" is ignored: %2.")
                        .arg(it.key(), at < 0 ? QStringLiteral("no command has that name")
                                              : QStringLiteral("that command's key cannot be changed")));
            continue;
        }
        bool ok = it->typeId() == QMetaType::QString;
        const QString key = ok ? normalKey(it->toString(), &ok) : QString();
        if (!ok) {
            logOnce(QStringLiteral("The key \"%1\" set for \"%2\" is no key: it keeps its default, %3.")
                        .arg(it->toString(), it.key(),
                             rows_.at(at).defaultKey.isEmpty() ? QStringLiteral("none")
                                                               : rows_.at(at).defaultKey));
            continue;
        }
        if (!keptKeyUse(key).isEmpty()) {
            logOnce(
                QStringLiteral("The key %1 set for \"%2\" is the program's own: it keeps its default, %3.")
                    .arg(key, it.key(),
                         rows_.at(at).defaultKey.isEmpty() ? QStringLiteral("none")
                                                           : rows_.at(at).defaultKey));
            continue;
        }
        rows_[at].key = key;
        fromSettings.insert(it.key());
    }
    // Two commands with one key: the one the file chose it for goes back to its default, which may in turn
    // be another's choice, until no key has two commands.
    for (bool changed = true; changed;) {
        changed = false;
        QHash<QString, qsizetype> holder;
        for (qsizetype i = 0; i < rows_.size() && !changed; ++i) {
            const QString key = rows_.at(i).key;
            if (key.isEmpty())
                continue;
            const qsizetype other = holder.value(key, -1);
            if (other < 0) {
                holder.insert(key, i);
                continue;
            }
            const qsizetype back = fromSettings.contains(rows_.at(i).name) ? i : other;
            if (!fromSettings.contains(rows_.at(back).name))
                continue; // both menus' own keys: nothing of the user's to undo
            logOnce(QStringLiteral("The key %1 set for \"%2\" is \"%3\"'s too: \"%2\" keeps its default, %4.")
                        .arg(key, rows_.at(back).name, rows_.at(back == i ? other : i).name,
                             rows_.at(back).defaultKey.isEmpty() ? QStringLiteral("none")
                                                                 : rows_.at(back).defaultKey));
            rows_[back].key = rows_.at(back).defaultKey;
            fromSettings.remove(rows_.at(back).name);
            changed = true;
        }
    }
    letGo_.clear();
    for (const Row& row : std::as_const(rows_)) {
        QAction* action = row.changeable ? actions_.value(row.name).data() : nullptr;
        if (!action)
            continue;
        QKeySequence key = QKeySequence::fromString(row.key, QKeySequence::PortableText);
        if (const auto own = ownTexts_.constFind(row.name); own != ownTexts_.cend()) {
            // its own key shows after the tab and the panes answer it; another is its action's
            const bool moved = row.key != row.defaultKey;
            action->setProperty(MenuLine::CommandTextProperty, *own);
            action->setText(moved ? own->section(QLatin1Char('\t'), 0, 0) : *own);
            const QKeySequence ownKey = QKeySequence::fromString(row.defaultKey, QKeySequence::PortableText);
            if (moved && !ownKey.isEmpty())
                letGo_ << ownKey[0];
            // The small windows are the main window's tools, where its keys answer too: a key of its own
            // there as well would make two shortcuts on one key, and Qt answers neither.
            if (const auto follow = followers_.constFind(row.defaultKey); follow != followers_.cend())
                (*follow)(moved ? QKeySequence() : key);
            if (!moved)
                key = QKeySequence();
        }
        if (action->shortcut() == key)
            continue;
        action->setShortcut(key);
        if (key.isEmpty())
            continue;
        // a key that types or rubs out a character answers in the main window only, since the other windows
        // type it into their text fields; the others work in every window, as the menus' keys do
        const QKeyCombination first = key[0];
        const bool types = (first.keyboardModifiers() & ~Qt::ShiftModifier) == Qt::NoModifier &&
                           ((first.key() >= Qt::Key_Space && first.key() <= Qt::Key_AsciiTilde) ||
                            first.key() == Qt::Key_Backspace);
        action->setShortcutContext(types ? Qt::WindowShortcut : Qt::ApplicationShortcut);
        if (!window_.actions().contains(action))
            window_.addAction(action);
    }
    Q_EMIT keysChanged();
}

void CommandKeys::setPanes(const QList<QWidget*>& panes)
{
    for (QWidget* pane : panes) {
        panes_ << pane;
        // after the pane's own input, so before it
        pane->installEventFilter(this);
    }
}

void CommandKeys::followOwnKey(const QKeySequence& ownKey, std::function<void(const QKeySequence&)> follow)
{
    followers_.insert(ownKey.toString(QKeySequence::PortableText), std::move(follow));
    apply();
}

bool CommandKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || letGo_.isEmpty())
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    // the panes read Shift alone, and the space bar whatever is held with it
    const bool shift = key->modifiers() & Qt::ShiftModifier;
    for (const QKeyCombination ownKey : std::as_const(letGo_)) {
        if (ownKey.key() == key->key() &&
            (key->key() == Qt::Key_Space || bool(ownKey.keyboardModifiers() & Qt::ShiftModifier) == shift))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

QList<CommandKeys::Row> CommandKeys::rows() const
{
    return rows_;
}

QString CommandKeys::keptKeyUse(const QString& portableKey)
{
    if (portableKey == QLatin1String(KeptKey))
        return QStringLiteral("leaves full screen and the comparison and closes windows");
    if (portableKey == QLatin1String("Del"))
        return QStringLiteral("deletes playlists and entries in the playlist window");
    if (portableKey == QLatin1String("F2"))
        return QStringLiteral("renames playlists in the playlist window");
    return {};
}

QString CommandKeys::setKey(const QString& name, const QKeySequence& key)
{
    const auto row =
        std::find_if(rows_.cbegin(), rows_.cend(), [&name](const Row& r) { return r.name == name; });
    if (row == rows_.cend())
        return QStringLiteral("Tetrapan has no command \"%1\".").arg(name);
    if (!row->changeable)
        return QStringLiteral("The key of \"%1\" cannot be changed.").arg(row->text);
    const QString wanted = key.toString(QKeySequence::PortableText);
    if (const QString use = keptKeyUse(wanted); !use.isEmpty())
        return QStringLiteral("%1 %2; choose another key.").arg(key.toString(QKeySequence::NativeText), use);
    for (const Row& other : std::as_const(rows_)) {
        if (!wanted.isEmpty() && other.name != name && other.key == wanted)
            return QStringLiteral("%1 is already the key of %2 (%3).")
                .arg(key.toString(QKeySequence::NativeText), other.text, other.name);
    }
    QVariantMap chosen;
    for (const Row& other : std::as_const(rows_)) {
        const QString keyOf = other.name == name ? wanted : other.key;
        if (other.changeable && keyOf != other.defaultKey)
            chosen.insert(other.name, keyOf);
    }
    if (chosen.isEmpty())
        settings_.removeObject(QLatin1String(OptKeys));
    else
        settings_.setObject(chosen, QLatin1String(OptKeys));
    return {};
}

void CommandKeys::restoreDefaults()
{
    settings_.removeObject(QLatin1String(OptKeys));
}

} // namespace tetrapan
