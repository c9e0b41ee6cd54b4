#pragma once

#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeMovieEngine.h"
#include "FakeScheduler.h"
#include "TestHome.h"

#include "layout/SplitSubView.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "panes/MovController.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QTest>
#include <QVariantAnimation>

#include <memory>

namespace tetrapan::test {

// The whole application on fakes, in a home that outlives it so a test can quit and start again. The main
// window's dividers slide in no time.
struct PlaylistApp {
    std::unique_ptr<TestHome> ownHome; // for a test that does not start the app again
    SettingsDomain settings;
    FakeScheduler scheduler;
    FakeDialogPresenter dialogs;
    FakeMovieEngine engine;
    FakeFileViewer fileViewer;
    std::unique_ptr<MainNib> nib;

    explicit PlaylistApp(const TestHome& home) : settings(home.settingsFile()) { start(); }
    PlaylistApp() : ownHome(std::make_unique<TestHome>()), settings(ownHome->settingsFile()) { start(); }

    ObjectContext& ctx() { return *nib->appDelegate().managedObjectContext(); }
    PlaylistOutlineView& tree() { return nib->olvPlaylist(); }
    MovController& coordinator() { return nib->movController(); }

    bool show()
    {
        nib->showWindows();
        return QTest::qWaitForWindowExposed(&nib->playlistWindow());
    }
    bool show(const QString& outline)
    {
        const bool shown = show();
        build(outline);
        return shown;
    }
    QModelIndex indexOf(const QString& title)
    {
        return nib->playlistTreeController().indexOfObject(node(title));
    }

    // A library from its outline: "F/(a,S/(b)),T" is folder F holding playlist a and folder S (holding b),
    // then playlist T. Each level is numbered 0, 1, 2, ...; identifiers 00000001, ... in reading order.
    void build(const QString& outline)
    {
        QStringView rest(outline);
        int number = 0;
        parseLevel(rest, NoObject, number);
        ctx().processPendingChanges();
    }

    ObjectId node(const QString& title)
    {
        for (ObjectId id : ctx().fetch(LibrarySchema::Playlist)) {
            if (ctx().value(id, QStringLiteral("title")).toString() == title)
                return id;
        }
        return NoObject;
    }
    QString attr(ObjectId id, const char* key) { return ctx().value(id, QLatin1String(key)).toString(); }
    QString uid(const QString& title) { return attr(node(title), "uniqueId"); }

    ObjectId entry(const QString& playlistTitle, int viewNo, const QString& filePath = {})
    {
        const ObjectId id = ctx().insertNewObject(LibrarySchema::Filelist);
        ctx().setValue(id, QStringLiteral("uniqueId"), uid(playlistTitle));
        ctx().setValue(id, QStringLiteral("viewNo"), viewNo);
        ctx().setValue(id, QStringLiteral("filePath"), filePath);
        return id;
    }
    int entryCount() { return static_cast<int>(ctx().fetch(LibrarySchema::Filelist).size()); }

    // The rows as shown, "*" before the selected one.
    QString rows()
    {
        QStringList out;
        const int selected = tree().selectedRow();
        for (int row = 0; row < tree().numberOfRows(); ++row)
            out << (row == selected ? QStringLiteral("*") : QString()) + attr(tree().itemAtRow(row), "title");
        return out.join(QLatin1Char(','));
    }

    // A level in the order shown, each title with its index: "B0,C1,A2".
    QString level(const QString& folderTitle = {})
    {
        const ObjectId folder = folderTitle.isEmpty() ? NoObject : node(folderTitle);
        QStringList out;
        for (ObjectId id : nib->playlistTreeController().childObjects(folder))
            out << attr(id, "title") + attr(id, "index");
        return out.join(QLatin1Char(','));
    }

    void selectTitle(const QString& title)
    {
        if (title.isEmpty())
            tree().selectionModel()->clear();
        else
            tree().selectRowOfItem(node(title));
    }

private:
    void start()
    {
        Tetrapan_AppDelegate::setupDefaults(settings);
        nib = std::make_unique<MainNib>(NibServices{settings, scheduler, dialogs, engine, &fileViewer});
        MainWindow& window = nib->mainWindow();
        for (SplitSubView* splitView : {window.spvMain(), window.spvLeft(), window.spvRight()})
            splitView->setAnimationRunner(
                [](QVariantAnimation& animation) { animation.setCurrentTime(animation.duration()); });
    }

    void parseLevel(QStringView& rest, ObjectId parent, int& number)
    {
        int index = 0;
        while (!rest.isEmpty() && rest.front() != QLatin1Char(')')) {
            qsizetype end = 0;
            while (end < rest.size() && !QStringLiteral(",()/").contains(rest[end]))
                ++end;
            const QString title = rest.left(end).toString();
            rest = rest.mid(end);
            const bool folder = rest.startsWith(QLatin1Char('/'));
            if (folder)
                rest = rest.mid(1);
            const ObjectId id = ctx().insertNewObject(LibrarySchema::Playlist);
            ctx().setValue(id, QStringLiteral("title"), title);
            ctx().setValue(id, QStringLiteral("uniqueId"),
                           QStringLiteral("%1").arg(++number, 8, 10, QLatin1Char('0')));
            ctx().setValue(id, QStringLiteral("isFolder"), folder);
            ctx().setValue(id, QStringLiteral("isExpand"), false);
            ctx().setValue(id, QStringLiteral("index"), index++);
            ctx().setValue(id, QStringLiteral("frameSet"), QString());
            if (parent != NoObject)
                ctx().setRelatedObject(id, QStringLiteral("parent"), parent);
            if (rest.startsWith(QLatin1Char('('))) {
                rest = rest.mid(1);
                parseLevel(rest, id, number);
                rest = rest.mid(1);
            }
            if (rest.startsWith(QLatin1Char(',')))
                rest = rest.mid(1);
        }
    }
};

} // namespace tetrapan::test
