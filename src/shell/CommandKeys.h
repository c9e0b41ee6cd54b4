#pragma once

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>

class QAction;
class QWidget;

namespace tetrapan {

class CommandRegistry;
class SettingsDomain;

// The keys the user chose for the commands, kept in the settings as a dictionary of command names to keys
// ("save-snapshot": "Ctrl+Alt+S", "" for no key), only where they differ from the menus' own. They are
// given to the menus' actions, so the menus, the palette, the help's list of keys and --list-actions show
// them. A command's default is the key its menu item came with.
//
// What a settings file says wrongly costs only that command its choice: a name no command has, a key that
// is no key, or a key another command holds leaves that command (the one the file chose a key for) with its
// default; each such fault is logged once per run.
//
// The keys the panes answer themselves (Space, the arrows, shown after a tab in their items' texts) are
// their commands' defaults too: a command given another key has it as its action's, and the panes (and the
// other holders of that key, the palette's and the playlist window's Space) let the old one go. Commands
// whose items their menus rebuild at each opening (the pane menu's, the frame-set menu's) have no key.
class CommandKeys : public QObject {
    Q_OBJECT
public:
    static constexpr const char* OptKeys = "keyBindings";
    // Escape leaves full screen and the comparison and closes the small windows, outside any menu: a command
    // given it too would leave Qt two answers to the key, and it would give neither.
    static constexpr const char* KeptKey = "Esc";
    // What a key no command may take does ("leaves full screen and the comparison and closes windows");
    // empty for any other. Besides Escape, Delete and F2: the playlist window deletes and renames with them,
    // and a command's key there too would leave Qt two answers.
    static QString keptKeyUse(const QString& portableKey);

    struct Row {
        QString name;
        QString text;
        QString key;        // portable text, "" for none
        QString defaultKey; // the same
        bool changeable = false;
    };

    // window: where a command's key works once given (the main window, whose menu bar hides in full screen)
    CommandKeys(SettingsDomain& settings, CommandRegistry& commands, QWidget& window,
                QObject* parent = nullptr);
    ~CommandKeys() override;

    // Every command with its key, in menu order.
    QList<Row> rows() const;
    // Gives the command the key (an empty one removes it) and keeps it in the settings. Answers "" when
    // done, else why not, naming the command that holds the key.
    QString setKey(const QString& name, const QKeySequence& key);
    // Every command back to its menu's key.
    void restoreDefaults();
    // The keys from the settings, given to the actions (also whenever the setting changes).
    void apply();
    // The widgets that answer the panes' own keys themselves, which let a key go once its command has
    // another.
    void setPanes(const QList<QWidget*>& panes);
    // What else answers one of the panes' own keys follows its command's key (the key, or none).
    void followOwnKey(const QKeySequence& ownKey, std::function<void(const QKeySequence&)> follow);

    // The key as kept and listed ("" for none); ok false when the text is no key.
    static QString normalKey(const QString& text, bool* ok);

Q_SIGNALS:
    // The commands' keys may have changed.
    void keysChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void learnDefaults();
    void logOnce(const QString& fault);

    SettingsDomain& settings_;
    CommandRegistry& commands_;
    QWidget& window_;
    QList<Row> rows_;
    QHash<QString, QPointer<QAction>> actions_;
    QHash<QString, QString> defaults_;
    QSet<QString> logged_;
    // the commands whose keys the panes answer: their items' texts with the key after the tab
    QHash<QString, QString> ownTexts_;
    QList<QPointer<QWidget>> panes_;
    QHash<QString, std::function<void(const QKeySequence&)>> followers_; // by own key
    QList<QKeyCombination> letGo_; // own keys the panes no longer answer
};

} // namespace tetrapan
