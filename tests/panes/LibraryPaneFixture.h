#pragma once

#include "PaneFixture.h"

#include "library/FilelistArrayController.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "platform/ObjectContext.h"
#include "platform/StoreCoordinator.h"

namespace tetrapan::test {

// Four panes and their coordinator on a library of their own, wired as the application wires them.
struct LibraryPaneFixture : PaneFixture {
    StoreCoordinator coordinator{LibrarySchema::model()};
    ObjectContext context{coordinator};
    FilelistArrayController filelist{context};
    PlaylistTreeController tree{context};
    TBArrayController library{context, settings, dialogs};

    LibraryPaneFixture()
    {
        settings.registerDefaults({{QStringLiteral("optPlayVolume"), 0.0},
                                   {QStringLiteral("optSkipTime"), 10.0},
                                   {QStringLiteral("optLoadFrameSet"), true}});
        library.filelistArrayController = &filelist;
        library.playlistTreeController = &tree;
        library.awakeFromNib();
        controller.setTbArrayController(&library);
        controller.setPlaylistTreeController(&tree);
        for (QTMovieSubView* pane : panes)
            pane->setTbArrayController(&library);
    }

    // A playlist (or folder) at the top level; returns its node.
    ObjectId playlist(const QString& title, bool folder = false, const QString& frameSet = {})
    {
        const ObjectId node = LibraryRules::createNode(context, settings, folder);
        context.setValue(node, LibrarySchema::Title, title);
        context.setValue(node, LibrarySchema::FrameSet, frameSet);
        LibraryRules::placeNode(context, node, NoObject);
        return node;
    }
    QString idOf(ObjectId node) const { return context.value(node, LibrarySchema::UniqueId).toString(); }
    ObjectId entry(ObjectId playlistNode, int viewNo, const QString& path)
    {
        const ObjectId id = context.insertNewObject(LibrarySchema::Filelist);
        context.setValue(id, LibrarySchema::UniqueId, idOf(playlistNode));
        context.setValue(id, LibrarySchema::ViewNo, viewNo);
        context.setValue(id, LibrarySchema::FilePath, path);
        return id;
    }
    // The entries of the playlist for one pane, as "path" texts.
    QStringList entryPaths(ObjectId playlistNode, int viewNo) const
    {
        QStringList paths;
        for (ObjectId id : context.fetch(LibrarySchema::Filelist,
                                         Predicate::equals(LibrarySchema::UniqueId, idOf(playlistNode))
                                             .andEquals(LibrarySchema::ViewNo, viewNo)))
            paths << context.value(id, LibrarySchema::FilePath).toString();
        return paths;
    }
    void select(ObjectId node) { tree.setSelectedObject(node); }
    // Chooses the playlist as the tree does and lets the load delay run out.
    void show(ObjectId node)
    {
        select(node);
        controller.setUniqueId(node == NoObject ? QString() : idOf(node));
        scheduler.advance(MovController::ChangeDelay);
    }
    QStringList panePaths()
    {
        QStringList paths;
        for (QTMovieSubView* pane : panes)
            paths << pane->filePath();
        return paths;
    }
    QList<bool> playing()
    {
        QList<bool> states;
        for (QTMovieSubView* pane : panes)
            states << pane->isPlaying();
        return states;
    }
};

} // namespace tetrapan::test
