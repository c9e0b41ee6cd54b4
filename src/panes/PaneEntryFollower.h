#pragma once

#include "platform/Scheduler.h"

#include <QMetaObject>
#include <QString>

#include <array>
#include <optional>

namespace tetrapan {

class MovController;
class ObjectContext;
class TBArrayController;

// Keeps the panes showing what the current playlist's entries say, whatever changed them: an undo or redo,
// a remove from the file table, an entry's file path edited. At the end of the turn in which the library
// changed, each pane whose entry changed loads its entry's movie again or empties; the others are not
// touched. A pane given back a movie it let go of in such a change (Remove, then Undo) returns to the time
// it stood at. The coordinator's own loads tell it what they loaded, so it never loads a file twice nor
// retries one that could not be opened. The windows' titles follow the playlist's name at the same moment.
class PaneEntryFollower {
public:
    static constexpr int PaneCount = 4;
    using Paths = std::array<QString, PaneCount>;

    PaneEntryFollower(MovController& coordinator, Scheduler& scheduler);
    ~PaneEntryFollower();
    PaneEntryFollower(const PaneEntryFollower&) = delete;
    PaneEntryFollower& operator=(const PaneEntryFollower&) = delete;

    // The library whose changes are followed; nullptr follows nothing.
    void follow(ObjectContext* context);
    // The file of each pane's entry in the current playlist: the first entry for its view number, in the
    // file list's order; "" for none.
    static Paths entryPaths(TBArrayController* controller);
    // A load put these files into the panes (or tried to).
    void noteLoaded(const Paths& paths)
    {
        applied_ = paths;
        loaded_ = true;
    }

private:
    struct Shown {
        QString path;
        double seconds = 0;
    };

    void libraryChanged();
    void followEntries();

    MovController& coordinator_;
    Scheduler& scheduler_;
    QMetaObject::Connection connection_;
    Scheduler::TaskId task_ = Scheduler::NoTask;
    Paths applied_;
    // Until the first load the file list is not yet narrowed to a playlist, and the panes follow nothing.
    bool loaded_ = false;
    // What each pane showed when the library began to change in this turn, and what it let go of since.
    std::array<Shown, PaneCount> before_;
    std::array<Shown, PaneCount> letGo_;
};

} // namespace tetrapan
