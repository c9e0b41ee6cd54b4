#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMainWindow;
class QMenu;

namespace tetrapan {

class CMMovieView;

// Every command of the menus by a name made from its menu text: the main window's menus (the palette's
// frame-set menu is the View menu's), and the pane menu, whose commands take the pane's number. Nothing
// keeps a list of names: they are read off the menus' own actions whenever they are asked for, so an item
// added to a menu has its name at once.
//
// The name of an item is its text without "&", the key shown after a tab and any "…", in lower case, its
// words joined by "-" ("Play or Stop All" is play-or-stop-all). An item of a submenu carries the submenu's
// name first ("Frame Set > Save" is frame-set-save, "Copy To > Frame 2" copy-to-frame-2). An item whose
// name another command already has (the main window's menus are read first, then the pane menu) carries
// its top menu's name first (a pane menu "Sync Time" beside a main "Sync Time" would be pane-sync-time); the
// same action in two menus is one command.
//
// A command is carried out as choosing its item would: the menus it is in are first brought up to date as
// opening them does (their aboutToShow), and a command whose item would then be greyed is refused. An item
// whose text shows a changing state ("Undo Add Playlist", "Clear Offset (+1.5 s)") is named from its
// MenuLine::CommandTextProperty.
class CommandRegistry {
public:
    static constexpr int PaneCount = 4;
    // Longer than any command's name.
    static constexpr int MaxNameLength = 100;

    struct Command {
        QString name;
        QString text; // where it is and what it says: "View > Zoom Pane 1", "Pane n > Zoom"
        QString key;  // its key as the menu shows it (portable text), or ""
        bool forPane = false;
        // The panes answer the key themselves, as the item's text says after a tab.
        bool keyOfItsOwn = false;
        // The main window's action, which lives as long as the window; null for an item its menu rebuilds.
        QAction* action = nullptr;
    };

    // paneMenu gives pane n's menu (n from 1 to 4), or null where there is none.
    CommandRegistry(QMainWindow& window, std::function<QMenu*(int viewNo)> paneMenu);
    ~CommandRegistry();
    CommandRegistry(const CommandRegistry&) = delete;
    CommandRegistry& operator=(const CommandRegistry&) = delete;

    static QString nameOf(const QString& text);

    // Every command, the main window's in menu order, then the pane menu's (read from a menu of no pane,
    // where every item shows, greyed).
    QList<Command> commands() const;
    // The names most like the one given, best first; at most `most`.
    QStringList nearest(const QString& name, int most = 3) const;

    // Carries the command out on the next turn of the event loop, so that a command which opens a dialog
    // does not hold up the caller; answers at once: "" when it will be carried out, else why it is refused.
    // viewNo is the pane of a pane command, 0 for the others.
    QString run(const QString& name, int viewNo) const;

private:
    struct Item;
    QList<Item> walk(bool refresh, QMenu* paneMenu, bool withMain) const;
    // The item carrying out the command, enabled; else none, and why in `refusal`.
    std::optional<Item> find(const QString& name, int viewNo, QString* refusal) const;

    QMainWindow& window_;
    std::function<QMenu*(int)> paneMenu_;
    // the pane menu of no pane, for the pane commands' names
    std::unique_ptr<CMMovieView> namingPaneMenu_;
    // for the commands still to be carried out when the registry goes
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

} // namespace tetrapan
