#pragma once

#include "PlaylistFixture.h"

#include "library/FilelistArrayController.h"
#include "playlist/ButtonSelectFilelist.h"
#include "playlist/CMFilelistHeader.h"
#include "playlist/FilelistTableView.h"
#include "playlist/TableColumnController.h"
#include "playlist/ViewPlaylist.h"

#include <QAction>
#include <QHeaderView>

namespace tetrapan::test {

// The playlist window's table and controller on top of the whole application on fakes.
struct TableApp : PlaylistApp {
    using PlaylistApp::PlaylistApp;

    FilelistTableView& table() { return nib->tbvFilelist(); }
    ViewPlaylist& controller() { return nib->viewPlaylist(); }
    PlaylistWindow& window() { return nib->playlistWindow(); }

    QStringList columns() { return TableColumnController::tableColumns(&table()); }

    // The header menu as it opens: "Path*" for a checked item, "Time" for an unchecked one.
    QStringList headerMenu()
    {
        CMFilelistHeader& menu = nib->cmFilelistHeader();
        menu.menuNeedsUpdate();
        QStringList items;
        for (QAction* item : menu.actions())
            items << item->text() + (item->isChecked() ? QStringLiteral("*") : QString());
        return items;
    }
    void chooseInHeaderMenu(const QString& title)
    {
        CMFilelistHeader& menu = nib->cmFilelistHeader();
        menu.menuNeedsUpdate();
        for (QAction* item : menu.actions()) {
            if (item->text() == title)
                item->trigger();
        }
    }

    // Playlist "a" chosen in the tree, with an entry in each of the given panes ("/clips/<n>.mp4"); the
    // panes loaded.
    void chooseWithEntries(const QList<int>& panes)
    {
        build(QStringLiteral("a,b"));
        for (int viewNo : panes)
            entry(QStringLiteral("a"), viewNo, QStringLiteral("/clips/%1.mp4").arg(viewNo));
        ctx().processPendingChanges();
        selectTitle(QStringLiteral("a"));
        tree().setFilelistPredicateWithPlaylist(false);
        scheduler.advance(MovController::ChangeDelay);
    }

    int rowOfPane(int viewNo)
    {
        for (int row = 0; row < table().model()->rowCount(); ++row) {
            if (ctx().value(nib->filelistArrayController().objectAtRow(row), LibrarySchema::ViewNo).toInt() ==
                viewNo)
                return row;
        }
        return -1;
    }
    QPoint centreOfRow(int row)
    {
        return table()
            .visualRect(table().model()->index(row, table().horizontalHeader()->logicalIndexAt(0)))
            .center();
    }
};

} // namespace tetrapan::test
