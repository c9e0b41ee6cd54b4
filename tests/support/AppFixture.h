#pragma once

#include "OpenAndWait.h"
#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeMovieEngine.h"
#include "FakeScheduler.h"
#include "TestHome.h"

#include "engine/MpvMovieEngine.h"
#include "layout/SplitSubView.h"
#include "layout/ViewMain.h"
#include "library/FilelistArrayController.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "playlist/CMFilelistHeader.h"
#include "playlist/FilelistTableView.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/TableColumnController.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MovieFilesOpener.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QAction>
#include <QHeaderView>
#include <QTest>
#include <QVariantAnimation>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace tetrapan::test {

struct AppOptions {
    // A home that outlives the fixture, for a test that quits and starts the program again on it.
    const TestHome* home = nullptr;
    // Written into the settings before the first start, as if stored by an earlier run.
    QVariantMap storedSettings{};
    // mpv instead of the fake engine; its sound goes nowhere unless told otherwise.
    bool realEngine = false;
    bool nullAudio = true;
    std::optional<DrawingPath> drawingPath{};
    // How long the engine waits for a file's first picture, when not its own limit.
    std::optional<std::chrono::milliseconds> openTimeout{};
    // The event loop's timers instead of the fake clock the test advances by hand.
    bool realClock = false;
    // The user's answers to the alerts that come before the fixture is built (see FakeDialogPresenter).
    QList<int> alertAnswers{};
    QList<bool> choiceAnswers{};
};

// The whole application, built by its composition root, in a home of its own: on the fake engine and the
// fake clock unless the options say otherwise. Divider animations run in no time: each is stepped through
// a few frames and noted, with whether any pane played meanwhile.
struct AppFixture {
    std::unique_ptr<TestHome> ownHome;
    const TestHome& home;
    SettingsDomain settings;
    FakeScheduler scheduler;
    QtScheduler realScheduler;
    FakeDialogPresenter dialogs;
    FakeMovieEngine engine;
    FakeFileViewer fileViewer;
    std::unique_ptr<MpvMovieEngine> mpv;
    std::unique_ptr<MainNib> nib;
    int animations = 0;
    bool panePlayedWhileSliding = false;
    bool animateFlagMissed = false;
    // Runs inside each animation, after its first frame.
    std::function<void()> duringAnimation;

    explicit AppFixture(const AppOptions& options = {})
        : ownHome(options.home ? nullptr : std::make_unique<TestHome>()),
          home(options.home ? *options.home : *ownHome), settings(home.settingsFile()), options_(options)
    {
        Tetrapan_AppDelegate::setupDefaults(settings);
        dialogs.alertAnswers = options.alertAnswers;
        dialogs.choiceAnswers = options.choiceAnswers;
        for (auto it = options.storedSettings.cbegin(); it != options.storedSettings.cend(); ++it)
            settings.setObject(it.value(), it.key());
        if (options.realEngine) {
            MpvMovieEngine::Options engineOptions;
            engineOptions.movie.nullAudio = options.nullAudio;
            engineOptions.drawingPath = options.drawingPath;
            engineOptions.movie.openTimeout = options.openTimeout.value_or(engineOptions.movie.openTimeout);
            mpv = std::make_unique<MpvMovieEngine>(engineOptions);
        }
        start();
    }
    ~AppFixture() { nib.reset(); } // the panes let go of their movies before the engine goes
    AppFixture(const AppFixture&) = delete;
    AppFixture& operator=(const AppFixture&) = delete;

    // A new run of the program on the same home and settings.
    void restart()
    {
        nib.reset();
        start();
    }

    MainWindow& window() { return nib->mainWindow(); }
    ViewMain& viewMain() { return nib->viewMain(); }
    MovController& coordinator() { return nib->movController(); }
    QTMovieSubView& pane(int viewNo) { return nib->qtView(viewNo); }
    QList<SplitSubView*> splitViews()
    {
        return {window().spvMain(), window().spvLeft(), window().spvRight()};
    }
    PlaylistWindow& playlistWindow() { return nib->playlistWindow(); }
    PlaylistOutlineView& tree() { return nib->olvPlaylist(); }
    FilelistTableView& table() { return nib->tbvFilelist(); }
    ObjectContext& ctx() { return *nib->appDelegate().managedObjectContext(); }
    // The pause after a change passes, and the save it starts in the background ends.
    void autosave()
    {
        scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay);
        ctx().finishSaving();
    }

    // Shown at a size whose split views have even lengths, so halves are whole pixels.
    void showWindow(int width = 1000, int height = 700)
    {
        window().resize(width, height);
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        // the window's shortcuts answer only in the active window
        window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        if (window().spvMain()->height() % 2)
            window().resize(width, height + 1);
        QCOMPARE(window().spvMain()->height() % 2, 0);
    }
    // Every window as at the program's start, with the library of the outline (see build).
    bool show(const QString& outline = {})
    {
        nib->showWindows();
        const bool shown = QTest::qWaitForWindowExposed(&playlistWindow());
        build(outline);
        return shown;
    }

    // Pane n gets "/clips/n.mp4", and all four play.
    void playFourPanes()
    {
        for (int n = 1; n <= 4; ++n)
            QVERIFY(openInPane(pane(n), QStringLiteral("/clips/%1.mp4").arg(n)));
        coordinator().setAllMoviePlay(true);
    }
    QList<bool> playing() { return paneStates(&QTMovieSubView::isPlaying); }
    QList<bool> displayed() { return paneStates(&QTMovieSubView::isDisplay); }

    // A playlist (or folder) made as the add button makes it, at the top level.
    ObjectId playlist(const QString& title, bool folder = false, const QString& frameSet = {})
    {
        const ObjectId node = LibraryRules::createNode(ctx(), settings, folder);
        ctx().setValue(node, LibrarySchema::Title, title);
        ctx().setValue(node, LibrarySchema::FrameSet, frameSet);
        LibraryRules::placeNode(ctx(), node, NoObject);
        ctx().processPendingChanges();
        return node;
    }
    void select(ObjectId node) { nib->playlistTreeController().setSelectedObject(node); }
    QString frameSetOf(ObjectId node) { return ctx().value(node, LibrarySchema::FrameSet).toString(); }

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
            if (ctx().value(id, LibrarySchema::Title).toString() == title)
                return id;
        }
        return NoObject;
    }
    QModelIndex indexOf(const QString& title)
    {
        return nib->playlistTreeController().indexOfObject(node(title));
    }
    QString attr(ObjectId id, const char* key) { return ctx().value(id, QLatin1String(key)).toString(); }
    QString uid(const QString& title) { return attr(node(title), "uniqueId"); }
    ObjectId entry(const QString& playlistTitle, int viewNo, const QString& filePath = {})
    {
        const ObjectId id = ctx().insertNewObject(LibrarySchema::Filelist);
        ctx().setValue(id, LibrarySchema::UniqueId, uid(playlistTitle));
        ctx().setValue(id, LibrarySchema::ViewNo, viewNo);
        ctx().setValue(id, LibrarySchema::FilePath, filePath);
        return id;
    }
    int entryCount() { return static_cast<int>(ctx().fetch(LibrarySchema::Filelist).size()); }

    // The tree's rows as shown, "*" before the selected one.
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

    // Playlist "a" (beside "b") chosen in the tree, with an entry in each of the given panes
    // ("/clips/<n>.mp4"); the panes loaded.
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

    // Lets what is due run, and the panes' opens end.
    void settle()
    {
        const std::array panes{&pane(1), &pane(2), &pane(3), &pane(4)};
        scheduler.advance(std::chrono::milliseconds(0));
        QVERIFY(test::openingsEnded(panes));
        scheduler.advance(std::chrono::milliseconds(0));
    }

    // Files handed to the opener (given, dropped, chosen) placed: what they are is looked at on threads of
    // its own, then they open.
    void placeOpenedFiles()
    {
        QTRY_VERIFY(
            (scheduler.advance(std::chrono::milliseconds(0)), !nib->movieFilesOpener().hasPendingFiles()));
        settle();
    }

    // The row with this title chosen in the tree as a click chooses it ("" for none), and loaded unless told
    // otherwise.
    void choose(const QString& title, bool load = true)
    {
        selectTitle(title);
        tree().setFilelistPredicateWithPlaylist(false);
        if (load)
            scheduler.advance(MovController::ChangeDelay);
    }

    // The file table's columns, and its header menu as it opens: "Path*" for a checked item.
    QStringList columns() { return TableColumnController::tableColumns(&table()); }
    QStringList headerMenu()
    {
        CMFilelistHeader& menu = nib->cmFilelistHeader();
        menu.menuNeedsUpdate();
        QStringList items;
        for (QAction* item : menu.actions())
            items << item->text() + (item->isChecked() ? QStringLiteral("*") : QString()) +
                         (item->isEnabled() ? QString() : QStringLiteral(" greyed"));
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

private:
    AppOptions options_;

    void start()
    {
        Scheduler& clock = options_.realClock ? static_cast<Scheduler&>(realScheduler) : scheduler;
        MovieEngine& movies = mpv ? static_cast<MovieEngine&>(*mpv) : engine;
        nib = std::make_unique<MainNib>(NibServices{settings, clock, dialogs, movies, &fileViewer});
        for (SplitSubView* splitView : splitViews())
            splitView->setAnimationRunner([this, splitView](QVariantAnimation& animation) {
                ++animations;
                for (int step = 0; step <= 4; ++step) {
                    animation.setCurrentTime(animation.duration() * step / 4);
                    animateFlagMissed = animateFlagMissed || !splitView->isAnimate();
                    panePlayedWhileSliding = panePlayedWhileSliding || coordinator().anyMovieIsPlaying();
                    if (step == 0 && duringAnimation)
                        std::exchange(duringAnimation, {})();
                }
            });
    }

    QList<bool> paneStates(bool (QTMovieSubView::*state)() const)
    {
        QList<bool> states;
        for (int n = 1; n <= 4; ++n)
            states << (pane(n).*state)();
        return states;
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
            ctx().setValue(id, LibrarySchema::Title, title);
            ctx().setValue(id, LibrarySchema::UniqueId,
                           QStringLiteral("%1").arg(++number, 8, 10, QLatin1Char('0')));
            ctx().setValue(id, QStringLiteral("isFolder"), folder);
            ctx().setValue(id, QStringLiteral("isExpand"), false);
            ctx().setValue(id, QStringLiteral("index"), index++);
            ctx().setValue(id, LibrarySchema::FrameSet, QString());
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
