#pragma once

#include "OpenAndWait.h"
#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeMovieEngine.h"
#include "FakeScheduler.h"

#include "library/FilelistArrayController.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "panes/CMMovieView.h"
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

using L = QList<bool>;

inline MovieTime at600(double seconds)
{
    return MovieTime::fromSeconds(seconds, 600);
}
inline QString clip(const char* name)
{
    return QStringLiteral("/clips/") + QLatin1String(name);
}

// Four panes on the fake engine, each 200x150 with its menu, and a library of their own, wired to a
// coordinator as the application wires them: no window or split view around them, one plain widget.
struct PaneFixture {
    QTemporaryDir home;
    FakeScheduler scheduler;
    FakeMovieEngine engine;
    FakeDialogPresenter dialogs;
    FakeFileViewer fileViewer;
    SettingsDomain settings{home.filePath(QStringLiteral("Tetrapan.json"))};
    StoreCoordinator store{LibrarySchema::model()};
    ObjectContext context{store};
    FilelistArrayController filelist{context};
    PlaylistTreeController tree{context};
    TBArrayController library{context, settings, dialogs};
    MovController controller{scheduler, settings};
    QWidget window;
    std::array<QTMovieSubView*, 4> panes{};
    std::array<CMMovieView*, 4> menus{};

    PaneFixture()
    {
        settings.registerDefaults(
            {{QStringLiteral("optPlayVolume"), 0.0}, {QStringLiteral("optSkipTime"), 10.0}});
        library.filelistArrayController = &filelist;
        library.playlistTreeController = &tree;
        controller.setTbArrayController(&library);
        controller.setPlaylistTreeController(&tree);
        for (int n = 1; n <= 4; ++n) {
            panes[n - 1] = new QTMovieSubView({engine, settings, scheduler, dialogs, fileViewer}, &window);
            panes[n - 1]->setGeometry(0, 0, 200, 150);
            panes[n - 1]->setMovController(&controller);
            panes[n - 1]->setTbArrayController(&library);
            menus[n - 1] = new CMMovieView(panes[n - 1]);
            menus[n - 1]->setQtView(panes[n - 1]);
            panes[n - 1]->setCmMovieView(menus[n - 1]);
            controller.setQtView(n, panes[n - 1]);
        }
        controller.awakeFromNib();
        for (int n = 1; n <= 4; ++n) {
            panes[n - 1]->awakeFromNib();
            menus[n - 1]->awakeFromNib();
        }
    }

    QTMovieSubView& pane(int viewNo) { return *panes[viewNo - 1]; }
    CMMovieView& menu(int viewNo) { return *menus[viewNo - 1]; }
    FakeMovie* movieOf(int viewNo) { return static_cast<FakeMovie*>(pane(viewNo).movie()); }
    // Loads "/clips/<name>", a one-minute movie at scale 600 unless the engine is told otherwise.
    FakeMovie* load(int viewNo, const char* name = "clip.mp4")
    {
        return openInPane(pane(viewNo), clip(name)) ? movieOf(viewNo) : nullptr;
    }
    void setFloat(const char* key, float value)
    {
        userDefaultsExtension::setDefaultFloatValue(settings, value, QLatin1String(key));
    }
    // What each pane answers, pane 1 first.
    template <typename T> QList<T> each(T (QTMovieSubView::*query)() const)
    {
        QList<T> answers;
        for (QTMovieSubView* pane : panes)
            answers << (pane->*query)();
        return answers;
    }
    L playing() { return each(&QTMovieSubView::isPlaying); }

    // A playlist (or folder) at the top level.
    ObjectId playlist(const QString& title, bool folder = false)
    {
        const ObjectId node = LibraryRules::createNode(context, settings, folder);
        context.setValue(node, LibrarySchema::Title, title);
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
    // The paths (or another attribute) of the playlist's entries for the pane.
    QStringList entryPaths(ObjectId playlistNode, int viewNo,
                           const QString& key = LibrarySchema::FilePath) const
    {
        QStringList values;
        for (ObjectId id : context.fetch(LibrarySchema::Filelist,
                                         Predicate::equals(LibrarySchema::UniqueId, idOf(playlistNode))
                                             .andEquals(LibrarySchema::ViewNo, viewNo)))
            values << context.value(id, key).toString();
        return values;
    }
    void select(ObjectId node) { tree.setSelectedObject(node); }
    // Chooses the playlist as the tree does and lets the load delay run out.
    void choose(ObjectId node)
    {
        select(node);
        controller.setUniqueId(node == NoObject ? QString() : idOf(node));
        scheduler.advance(MovController::ChangeDelay);
    }
    // Lets what is due run, and the panes' opens end.
    void settle()
    {
        scheduler.advance(std::chrono::milliseconds(0));
        QVERIFY(test::openingsEnded(panes));
        scheduler.advance(std::chrono::milliseconds(0));
    }
    // Chooses a new playlist with an entry "/clips/<name>" for each of panes 1 to count.
    ObjectId chooseWithEntries(int count, const char* name)
    {
        const ObjectId node = playlist(QStringLiteral("list"));
        for (int n = 1; n <= count; ++n)
            entry(node, n, clip(name));
        choose(node);
        return node;
    }
};

} // namespace tetrapan::test
