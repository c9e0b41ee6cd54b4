#pragma once

#include "platform/ObjectModel.h"
#include "widgets/LastStateKeeper.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>

namespace tetrapan {

class MovController;
class Movie;

// Where each playlist's panes stood when the user left it: as another playlist or a folder is chosen, and at
// quit, each pane's position is kept on its entry (`position`, in milliseconds) as the program's own note,
// which is saved with the library but is no step to undo. Choosing the playlist again, or the next start,
// brings its panes back there, stopped. A pane at its beginning or at its very end keeps nothing and starts
// from the beginning: a movie watched to its end is watched again from the start.
//
// Each pane goes back to its own time, which already holds its offset, and stays stopped, where the sync
// lock leaves panes alone; the next joint start holds them together as always.
class PanePositions final : public QObject, public LastStateKeeper {
    Q_OBJECT
public:
    explicit PanePositions(MovController& panes);

    // At quit: where the panes of the playlist they show stand now.
    void storeLastState() override;

    // The position kept for a movie standing there: none at the beginning or at the end.
    static QVariant positionToKeep(const Movie& movie);

private:
    void loaded();
    // The entry of the playlist whose movie the pane shows; NoObject when it shows another or none (a copy
    // of the same file opened by the next playlist's load is another).
    ObjectId shownEntry(const QString& uniqueId, int viewNo) const;
    void keep(const QString& uniqueId);

    MovController& panes_;
    // The playlist whose entries the panes were last loaded from, and the movies that load gave them.
    QString shown_;
    std::array<QPointer<Movie>, 4> shownMovies_;
};

} // namespace tetrapan
