#pragma once

#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeMovieEngine.h"
#include "FakeScheduler.h"

#include "library/FilelistArrayController.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/StoreCoordinator.h"
#include "platform/userDefaultsExtension.h"

#include <QTemporaryDir>
#include <QWidget>

#include <array>

namespace tetrapan::test {

inline MovieTime at600(double seconds)
{
    return MovieTime::fromSeconds(seconds, 600);
}
inline QString clip(const char* name)
{
    return QStringLiteral("/clips/") + QLatin1String(name);
}

// Four panes on the fake engine, wired to a coordinator as the application wires them, each 200x150.
struct PaneFixture {
    QTemporaryDir home;
    FakeScheduler scheduler;
    FakeMovieEngine engine;
    FakeDialogPresenter dialogs;
    FakeFileViewer fileViewer;
    SettingsDomain settings{home.filePath(QStringLiteral("Tetrapan.json"))};
    MovController controller{scheduler, settings};
    QWidget window;
    std::array<QTMovieSubView*, 4> panes{};

    PaneFixture()
    {
        settings.registerDefaults({{QStringLiteral("optPlayVolume"), 0.0},
                                   {QStringLiteral("optSkipTime"), 10.0},
                                   {QStringLiteral("optLoadFrameSet"), true}});
        for (int n = 1; n <= 4; ++n) {
            panes[n - 1] = new QTMovieSubView({engine, settings, scheduler, dialogs, fileViewer}, &window);
            panes[n - 1]->setGeometry(0, 0, 200, 150);
            panes[n - 1]->setMovController(&controller);
            controller.setQtView(n, panes[n - 1]);
        }
        controller.awakeFromNib();
        for (QTMovieSubView* pane : panes)
            pane->awakeFromNib();
    }

    QTMovieSubView& pane(int viewNo) { return *panes[viewNo - 1]; }
    FakeMovie* movieOf(int viewNo) { return static_cast<FakeMovie*>(pane(viewNo).movie()); }
    // Loads "/clips/<name>", a one-minute movie at scale 600 unless the engine is told otherwise.
    FakeMovie* load(int viewNo, const char* name = "clip.mp4")
    {
        return pane(viewNo).createMovieView(clip(name)) ? movieOf(viewNo) : nullptr;
    }
    void setFloat(const char* key, float value)
    {
        userDefaultsExtension::setDefaultFloatValue(settings, value, QLatin1String(key));
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

// The same, on a library of its own.
struct LibraryPaneFixture : PaneFixture {
    StoreCoordinator coordinator{LibrarySchema::model()};
    ObjectContext context{coordinator};
    FilelistArrayController filelist{context};
    PlaylistTreeController tree{context};
    TBArrayController library{context, settings, dialogs};

    LibraryPaneFixture()
    {
        library.filelistArrayController = &filelist;
        library.playlistTreeController = &tree;
        library.awakeFromNib();
        controller.setTbArrayController(&library);
        controller.setPlaylistTreeController(&tree);
        for (QTMovieSubView* pane : panes)
            pane->setTbArrayController(&library);
    }

    // A playlist (or folder) at the top level.
    ObjectId playlist(const QString& title, bool folder = false, const QString& frameSet = {})
    {
        const ObjectId node = LibraryRules::createNode(context, settings, folder);
        context.setValue(node, LibrarySchema::Title, title);
        context.setValue(node, LibrarySchema::FrameSet, frameSet);
        LibraryRules::placeNode(context, node, NoObject);
        return node;
    }
    QString idOf(ObjectId node) const { return context.value(node, LibrarySchema::UniqueId).toString(); }
    void entry(ObjectId playlistNode, int viewNo, const QString& path)
    {
        const ObjectId id = context.insertNewObject(LibrarySchema::Filelist);
        context.setValue(id, LibrarySchema::UniqueId, idOf(playlistNode));
        context.setValue(id, LibrarySchema::ViewNo, viewNo);
        context.setValue(id, LibrarySchema::FilePath, path);
    }
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
};

} // namespace tetrapan::test
