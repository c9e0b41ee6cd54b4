// Every command by name and the keys the user chooses, on the whole application on fakes: the names come from
// the menus (an item added to a menu has one at once), a command acts as its menu item would or is refused
// as a greyed item is, and a chosen key shows in the menu and the help, works where the old one no longer
// does, survives a restart, and a settings file's faults cost only the command they concern. (The real
// program's --action and --list-actions: tst_commandline.)
#include "AppFixture.h"

#include "layout/MenuFrameSet.h"
#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "panes/CMMovieView.h"
#include "shell/CommandKeys.h"
#include "shell/CommandRegistry.h"
#include "shell/CommandRequests.h"
#include "shell/KeysPage.h"
#include "shell/MovieFilesOpener.h"

#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QToolButton>

using namespace tetrapan;
using tetrapan::test::AppFixture;

namespace {

QAction* actionNamed(AppFixture& f, const QString& name)
{
    for (const CommandRegistry::Command& command : f.nib->commandRegistry().commands()) {
        if (command.name == name)
            return command.action;
    }
    return nullptr;
}

QString keyOf(AppFixture& f, const QString& name)
{
    QAction* action = actionNamed(f, name);
    return action ? action->shortcut().toString(QKeySequence::PortableText) : QStringLiteral("(none)");
}

// The warnings of the keys' category, as the log shows them.
QStringList keyWarnings;
void collectKeyWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && QLatin1String(context.category) == QLatin1String("tetrapan.keys"))
        keyWarnings << message;
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namesFollowOneRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("key after a tab") << "&Play or Stop All\tSpace"
                                         << "play-or-stop-all";
        QTest::newRow("mnemonic inside a word") << "Save Sna&pshot"
                                                << "save-snapshot";
        QTest::newRow("ellipsis") << "Open Movie…"
                                  << "open-movie";
        QTest::newRow("two dots") << "Copy To.."
                                  << "copy-to";
        QTest::newRow("dash between letters") << "&Loop A–B"
                                              << "loop-a-b";
        QTest::newRow("number") << "Zoom Pane &1"
                                << "zoom-pane-1";
    }

    void namesFollowOneRule()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QCOMPARE(CommandRegistry::nameOf(text), name);
    }

    // Every item of every menu has one name of its own, also one added later to a menu; a text that changes
    // with the state does not change the name.
    void everyMenuItemHasOneName()
    {
        AppFixture f;
        CommandRegistry& registry = f.nib->commandRegistry();
        int items = 0;
        std::function<void(QMenu*)> count = [&](QMenu* menu) {
            Q_EMIT menu->aboutToShow();
            for (QAction* action : menu->actions()) {
                if (action->menu())
                    count(action->menu());
                else if (!action->isSeparator())
                    ++items;
            }
        };
        for (QAction* top : f.window().menuBar()->actions())
            count(top->menu());
        CMMovieView paneMenu;
        paneMenu.awakeFromNib();
        count(&paneMenu);

        QStringList names;
        for (const CommandRegistry::Command& command : registry.commands())
            names << command.name;
        QCOMPARE(names.size(), items);
        // a menu read is closed again: what it set for its opening (the nudges greyed for no chosen pane) is
        // undone, and their keys still work
        QVERIFY(actionNamed(f, QStringLiteral("nudge-a-frame-earlier"))->isEnabled());
        QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
        for (const char* name : {"play-or-stop-all", "zoom-pane-1", "frame-set-save", "copy-to-frame-2",
                                 "undo", "open-movie-into-pane-3", "clear-offset", "tetrapan-help"})
            QVERIFY2(names.contains(QLatin1String(name)), name);
        // a launcher's actions of the desktop entry name commands that are there: a menu text changed
        // would otherwise leave a launcher item that is refused
        QFile entry(QStringLiteral(TETRAPAN_SOURCE_DIR "/data/org.tetrapan.Tetrapan.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString desktop = QString::fromUtf8(entry.readAll());
        const QRegularExpression launched(QStringLiteral("^Exec=tetrapan --action (\\S+)$"),
                                          QRegularExpression::MultilineOption);
        int launchers = 0;
        for (const QRegularExpressionMatch& match : launched.globalMatch(desktop)) {
            ++launchers;
            QVERIFY2(names.contains(match.captured(1)), qPrintable(match.captured(1)));
        }
        QVERIFY(launchers >= 4);

        f.ctx().undoManager()->push(new QUndoCommand(QStringLiteral("Add Playlist")));
        QMenu* playback = f.window().menuBar()->actions().at(3)->menu();
        QAction* added = playback->addAction(QStringLiteral("Line Panes Up by &Ear…"));
        QSignalSpy triggered(added, &QAction::triggered);
        QCOMPARE(registry.run(QStringLiteral("line-panes-up-by-ear"), 0), QString());
        QCOMPARE(registry.run(QStringLiteral("undo"), 0), QString());
        QTRY_COMPARE(triggered.count(), 1);
        // a main window's item named as a pane menu's keeps the name; the pane's takes its menu's in front
        QSignalSpy mutedAll(playback->addAction(QStringLiteral("&Mute")), &QAction::triggered);
        QVERIFY(test::openInPane(f.pane(2), QStringLiteral("/clips/2.mp4")));
        QCOMPARE(registry.run(QStringLiteral("mute"), 0), QString());
        QCOMPARE(registry.run(QStringLiteral("pane-mute"), 2), QString());
        QTRY_COMPARE(mutedAll.count(), 1);
        QTRY_VERIFY(f.pane(2).movie()->muted());
    }

    // A command acts as choosing its item does, or is refused as its greyed item would be, with the nearest
    // names for one that is not known.
    void commandsActOrAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("viewNo");
        QTest::addColumn<QString>("refused"); // a part of the refusal, "" when it acts
        QTest::addColumn<QString>("then");    // pane 1's command given in the same turn, or ""
        QTest::newRow("main") << "zoom-pane-2" << 0 << ""
                              << "";
        QTest::newRow("of a pane") << "stop" << 1 << ""
                                   << "";
        QTest::newRow("in a submenu of a pane") << "copy-to-frame-3" << 1 << ""
                                                << "";
        QTest::newRow("rebuilt at each opening") << "frame-set-reset" << 0 << ""
                                                 << "";
        QTest::newRow("greyed") << "frame-set-load" << 0 << "greyed"
                                << "";
        // a playlist with a frame set chosen since the menu was last brought up to date
        QTest::newRow("enabled since") << "frame-set-remove" << 0 << ""
                                       << "";
        QTest::newRow("greyed in that pane") << "play" << 1 << "greyed"
                                             << "";
        QTest::newRow("not in that pane's menu now") << "copy-to-frame-1" << 2 << "pane 2"
                                                     << "";
        QTest::newRow("pane missing") << "zoom" << 0 << "--pane"
                                      << "";
        QTest::newRow("pane given to the main window's") << "save" << 3 << "no pane"
                                                         << "";
        QTest::newRow("pane that is none") << "mute" << 5 << "--pane"
                                           << "";
        QTest::newRow("unknown") << "plya-or-stop" << 0 << "nearest: play-or-stop-all"
                                 << "";
        QTest::newRow("unknown, nothing near") << "xyzzy-quux-frobnicate" << 0 << "--list-actions"
                                               << "";
        // from any program on the session bus
        QTest::newRow("longer than any") << QString(20000, QLatin1Char('x')) << 0 << "--list-actions"
                                         << "";
        // the second brings the menus up to date before the first is carried out
        QTest::newRow("rebuilt, and another after it") << "frame-set-reset" << 0 << ""
                                                       << "mute";
        QTest::newRow("of a pane, and another after it") << "stop" << 1 << ""
                                                         << "mute";
    }

    void commandsActOrAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(int, viewNo);
        QFETCH(QString, refused);
        QFETCH(QString, then);
        AppFixture f;
        QVERIFY(test::openInPane(f.pane(1), QStringLiteral("/clips/1.mp4")));
        f.coordinator().setAllMoviePlay(true);
        if (name == QLatin1String("frame-set-remove")) {
            // the menu as it was before
            Q_EMIT f.window().menuFrameSet()->aboutToShow();
            f.select(f.playlist(QStringLiteral("Angles"), false, QStringLiteral("1:0.20:0.30:0.40")));
        }
        QSignalSpy viewChosen(f.window().menuBar()->actions().at(2)->menu(), &QMenu::triggered);
        QSignalSpy frameSetChosen(f.window().menuFrameSet(), &QMenu::triggered);
        QSignalSpy paneChosen(&f.nib->cmMovieView(1), &QMenu::triggered);
        const QString refusal = f.nib->commandRegistry().run(name, viewNo);
        QVERIFY2(refusal.contains(refused) && refusal.size() < 400, qPrintable(refusal.left(400)));
        QCOMPARE(refusal.isEmpty(), refused.isEmpty());
        if (!then.isEmpty())
            QCOMPARE(f.nib->commandRegistry().run(then, 1), QString());
        QCoreApplication::processEvents();
        QCOMPARE(viewChosen.count() + frameSetChosen.count() + paneChosen.count(),
                 (refused.isEmpty() ? 1 : 0) + (then.isEmpty() ? 0 : 1));
    }

    // A playlist by its title, or by its folders' titles and its own where titles repeat.
    void playlistsByTitle_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("chosen"); // the path of the playlist chosen, or a part of the refusal
        QTest::newRow("title alone") << "Solo"
                                     << "Solo";
        QTest::newRow("in a folder") << "Talks/Tuesday"
                                     << "Talks/Tuesday";
        QTest::newRow("title repeated") << "Monday"
                                        << "Cams/Monday, Cams/Old/Monday, Talks/Monday";
        QTest::newRow("with its folders") << "Talks/Monday"
                                          << "Talks/Monday";
        QTest::newRow("with the folder nearest") << "Old/Monday"
                                                 << "Cams/Old/Monday";
        QTest::newRow("a folder is no playlist") << "Cams"
                                                 << "No playlist";
        QTest::newRow("none") << "Nowhere"
                              << "No playlist";
    }

    void playlistsByTitle()
    {
        QFETCH(QString, asked);
        QFETCH(QString, chosen);
        AppFixture f;
        f.build(QStringLiteral("Cams/(Monday,Old/(Monday)),Talks/(Monday,Tuesday),Solo"));
        CommandRequests& requests = f.nib->commandRequests();
        QString refusal;
        const ObjectId found = requests.playlistTitled(asked, &refusal);
        QStringList path;
        for (ObjectId at = found; at != NoObject; at = f.ctx().relatedObject(at, LibrarySchema::Parent))
            path.prepend(f.ctx().value(at, LibrarySchema::Title).toString());
        QVERIFY2((found != NoObject ? path.join('/') : refusal).contains(chosen), qPrintable(refusal));
        commandLine::Request request;
        request.playlist = asked;
        std::optional<QString> answer;
        requests.handle(request, [&answer](const QString& refusal) { answer = refusal; });
        QCOMPARE(answer.value_or(QStringLiteral("none")).isEmpty(), found != NoObject);
        if (found != NoObject)
            QCOMPARE(f.nib->playlistTreeController().selectedObjects(), QList<ObjectId>{found});
    }

    // A command that comes with files waits until the panes have opened them, then acts on them: files
    // opened in a pane, files handed to the program (placed a moment later), and files handed over while the
    // playlist the program comes back to is still loading.
    void aCommandWaitsForFilesBeingOpened_data()
    {
        QTest::addColumn<QString>("handedOver");
        QTest::addColumn<bool>("late"); // the files open only after the caller stopped waiting
        QTest::newRow("opened in the pane") << "pane" << false;
        QTest::newRow("given to the program") << "program" << false;
        QTest::newRow("given while a playlist loads") << "loading" << false;
        QTest::newRow("opened after the caller stopped waiting") << "pane" << true;
    }

    void aCommandWaitsForFilesBeingOpened()
    {
        QFETCH(QString, handedOver);
        QFETCH(bool, late);
        AppFixture f;
        f.engine.holdOpens = true;
        if (handedOver == "loading") {
            f.build(QStringLiteral("a"));
            f.entry(QStringLiteral("a"), 1, QStringLiteral("/clips/2.mp4"));
            f.ctx().processPendingChanges();
            f.choose(QStringLiteral("a"), false);
            QVERIFY(f.coordinator().hasPendingLoad());
        }
        if (handedOver == "pane")
            f.pane(1).createMovieView(QStringLiteral("/clips/1.mp4"),
                                      [](QTMovieSubView::OpenOutcome, const QString&) {});
        else
            f.nib->movieFilesOpener().openFiles({QStringLiteral("/clips/1.mp4")});
        commandLine::Request request;
        request.action = QStringLiteral("play");
        request.viewNo = 1;
        std::optional<QString> answer;
        f.nib->commandRequests().handle(request, [&answer](const QString& refusal) { answer = refusal; });
        f.scheduler.advance(CommandRequests::OpeningCheckInterval * 3);
        QCoreApplication::processEvents();
        QVERIFY(!answer);
        if (late) {
            // refused, and never carried out after the caller heard so
            f.scheduler.advance(CommandRequests::LongestWait);
            QVERIFY(answer && !answer->isEmpty());
            // the files are looked at on threads of their own before they are placed
            QTRY_VERIFY((f.engine.finishOpens(), f.scheduler.advance(CommandRequests::OpeningCheckInterval),
                         f.pane(1).filePath() == QStringLiteral("/clips/1.mp4")));
            QVERIFY(!f.pane(1).isPlaying());
            return;
        }
        QTRY_VERIFY((f.engine.finishOpens(), f.scheduler.advance(CommandRequests::OpeningCheckInterval),
                     answer.has_value()));
        QCOMPARE(answer, std::optional<QString>(QString()));
        QCOMPARE(f.pane(1).filePath(), QStringLiteral("/clips/1.mp4"));
        QTRY_VERIFY(f.pane(1).isPlaying());
    }

    // A start's command line is done as a launch hands one over: a playlist not found takes no files (they
    // would go into another playlist), and the command waits for the files (at a start with no playlist to
    // come back to, it found no movie to act on).
    void aStartDoesAsAHandOver_data()
    {
        QTest::addColumn<QString>("playlist");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("shown"); // pane 1's file at the end
        QTest::newRow("playlist not found") << "Nowhere"
                                            << "Nowhere"
                                            << "";
        QTest::newRow("files and a command") << ""
                                             << ""
                                             << "/clips/new.mp4";
        QTest::newRow("a playlist, files and a command") << "b"
                                                         << ""
                                                         << "/clips/new.mp4";
    }

    void aStartDoesAsAHandOver()
    {
        QFETCH(QString, playlist);
        QFETCH(QString, refusal);
        QFETCH(QString, shown);
        AppFixture f;
        f.build(QStringLiteral("a,b"));
        commandLine::Request request;
        request.playlist = playlist;
        request.files = QStringList{QStringLiteral("/clips/new.mp4")};
        request.action = QStringLiteral("play");
        request.viewNo = 1;
        std::optional<QString> answer;
        f.nib->commandRequests().handleWithFiles(
            request, [&f](const QStringList& files) { f.nib->movieFilesOpener().openFiles(files); },
            [&answer](const QString& said) { answer = said; });
        // long enough for the files to be looked at (on threads of their own), placed and opened, whatever
        // the answer
        for (int step = 0; step < 20; ++step) {
            f.scheduler.advance(CommandRequests::OpeningCheckInterval);
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY((f.scheduler.advance(CommandRequests::OpeningCheckInterval),
                     answer.has_value() && f.pane(1).filePath() == shown));
        QVERIFY2(refusal.isEmpty() ? answer->isEmpty() : answer->contains(refusal), qPrintable(*answer));
        QCOMPARE(f.pane(1).filePath(), shown);
        QTRY_COMPARE((f.scheduler.advance(CommandRequests::OpeningCheckInterval), f.pane(1).isPlaying()),
                     refusal.isEmpty());
    }

    // A settings file's faults: each costs its command its choice (the default comes back) and is logged
    // once, while the other choices hold.
    void chosenKeysFallBackPerCommand_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QStringList>("expected"); // name=key pairs
        QTest::addColumn<int>("warnings");
        const auto map = [](std::initializer_list<std::pair<const char*, QVariant>> pairs) {
            QVariantMap result;
            for (const auto& [name, key] : pairs)
                result.insert(QLatin1String(name), key);
            return QVariant(result);
        };
        QTest::newRow("chosen and removed") << map({{"synchronise", "Ctrl+J"}, {"save", ""}})
                                            << QStringList{"synchronise=Ctrl+J", "save="} << 0;
        QTest::newRow("unknown command") << map({{"no-such-command", "Ctrl+J"}, {"synchronise", "Ctrl+J"}})
                                         << QStringList{"synchronise=Ctrl+J"} << 1;
        QTest::newRow("malformed") << map({{"save", "Ctrl+Fnord"}, {"quit", 3}, {"synchronise", "Ctrl+J"}})
                                   << QStringList{"save=Ctrl+S", "quit=Ctrl+Q", "synchronise=Ctrl+J"} << 2;
        QTest::newRow("another's default")
            << map({{"synchronise", "Ctrl+S"}}) << QStringList{"synchronise=", "save=Ctrl+S"} << 1;
        QTest::newRow("two choices") << map({{"synchronise", "Ctrl+J"}, {"next-playlist", "Ctrl+J"}})
                                     << QStringList{"synchronise=Ctrl+J", "next-playlist="} << 1;
        QTest::newRow("a key the panes answer")
            << map({{"save", "Space"}}) << QStringList{"save=Ctrl+S"} << 1;
        QTest::newRow("the key that leaves full screen")
            << map({{"even-layout", "Esc"}}) << QStringList{"even-layout=Ctrl+0"} << 1;
        QTest::newRow("the playlist window's Delete")
            << map({{"even-layout", "Del"}}) << QStringList{"even-layout=Ctrl+0"} << 1;
        QTest::newRow("swapped") << map({{"save", "Ctrl+Q"}, {"quit", "Ctrl+S"}})
                                 << QStringList{"save=Ctrl+Q", "quit=Ctrl+S"} << 0;
        QTest::newRow("no dictionary")
            << QVariant(QStringLiteral("Ctrl+J")) << QStringList{"save=Ctrl+S"} << 1;
    }

    void chosenKeysFallBackPerCommand()
    {
        QFETCH(QVariant, stored);
        QFETCH(QStringList, expected);
        QFETCH(int, warnings);
        keyWarnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectKeyWarnings);
        {
            AppFixture f({.storedSettings = {{QLatin1String(CommandKeys::OptKeys), stored}}});
            for (const QString& pair : expected)
                QCOMPARE(pair.section('=', 0, 0) + '=' + keyOf(f, pair.section('=', 0, 0)), pair);
            // a later change of the keys tells nothing again
            QCOMPARE(f.nib->commandKeys().setKey(QStringLiteral("even-layout"), QKeySequence("Ctrl+Alt+E")),
                     QString());
        }
        qInstallMessageHandler(previous);
        QCOMPARE(keyWarnings.size(), warnings);
    }

    // A key changed on the Keys page: the menu and the help show it, it works and the old key does not, and
    // so after a restart; a key another command holds is refused with that command named; Restore Defaults.
    void aChangedKeyIsTheCommandsOwn()
    {
        AppFixture f;
        f.showWindow();
        auto* page = f.nib->prefsWindow().findChild<KeysPage*>();
        QVERIFY(page);
        const auto choose = [&](const QString& name) {
            for (int row = 0; row < page->table()->rowCount(); ++row) {
                if (page->table()->item(row, 1)->text() == name)
                    page->table()->selectRow(row);
            }
        };
        choose(QStringLiteral("even-layout"));
        page->chooseKey(QKeySequence(QStringLiteral("Ctrl+S")));
        QVERIFY2(page->refusal().contains(QLatin1String("File > Save (save)")), qPrintable(page->refusal()));
        page->chooseKey(QKeySequence(Qt::Key_Escape));
        QVERIFY2(page->refusal().contains(QLatin1String("leaves full screen")), qPrintable(page->refusal()));
        page->chooseKey(QKeySequence(QStringLiteral("Ctrl+J")));
        QCOMPARE(page->refusal(), QString());

        for (int run = 0; run < 2; ++run) {
            QAction* even = actionNamed(f, QStringLiteral("even-layout"));
            QCOMPARE(even->shortcut(), QKeySequence(QStringLiteral("Ctrl+J")));
            bool listed = false;
            for (const ShortcutList::Entry& entry : f.nib->helpWindow().shortcutList().entries())
                listed = listed || (entry.command == QLatin1String("View > Even Layout") &&
                                    entry.keys == QKeySequence("Ctrl+J").toString(QKeySequence::NativeText));
            QVERIFY(listed);
            QSignalSpy triggered(even, &QAction::triggered);
            QTest::keyClick(f.window().windowHandle(), Qt::Key_0, Qt::ControlModifier);
            QCOMPARE(triggered.count(), 0);
            QTest::keyClick(f.window().windowHandle(), Qt::Key_J, Qt::ControlModifier);
            QCOMPARE(triggered.count(), 1);
            f.restart();
            f.showWindow();
            page = f.nib->prefsWindow().findChild<KeysPage*>();
        }

        page->restoreButton()->click();
        QCOMPARE(keyOf(f, QStringLiteral("even-layout")), QStringLiteral("Ctrl+0"));
        choose(QStringLiteral("save"));
        page->removeButton()->click();
        QCOMPARE(keyOf(f, QStringLiteral("save")), QString());
        QCOMPARE(f.settings.objectForKey(QLatin1String(CommandKeys::OptKeys)).toMap(),
                 (QVariantMap{{QStringLiteral("save"), QString()}}));
    }

    // A key the panes answer themselves, given up for another: the panes, the palette and the playlist
    // window answer the new one and let the old go; Restore Defaults gives it back to them.
    void aPanesOwnKeyMoves()
    {
        AppFixture f;
        f.showWindow();
        QVERIFY(test::openInPane(f.pane(1), QStringLiteral("/clips/1.mp4")));
        CommandKeys& keys = f.nib->commandKeys();
        QCOMPARE(keys.setKey(QStringLiteral("play-or-stop-all"), QKeySequence(Qt::Key_P)), QString());
        QAction* play = actionNamed(f, QStringLiteral("play-or-stop-all"));
        QCOMPARE(play->shortcut(), QKeySequence(Qt::Key_P));
        QCOMPARE(play->text(), QStringLiteral("&Play or Stop All"));
        for (const CommandRegistry::Command& command : f.nib->commandRegistry().commands()) {
            if (command.name == QLatin1String("play-or-stop-all"))
                QCOMPARE(command.key, QStringLiteral("P"));
        }
        QCOMPARE(f.nib->controlWindow().btnPlay()->shortcut(), QKeySequence());
        QTest::keyClick(&f.pane(1), Qt::Key_Space);
        QCOMPARE(f.playing().constFirst(), false);
        QTest::keyClick(f.window().windowHandle(), Qt::Key_P);
        QTRY_COMPARE(f.playing().constFirst(), true);
        // the space bar let go can be another command's
        QCOMPARE(keys.setKey(QStringLiteral("next-playlist"), QKeySequence(Qt::Key_Space)), QString());

        keys.restoreDefaults();
        QCOMPARE(play->shortcut(), QKeySequence());
        QCOMPARE(play->text(), QStringLiteral("&Play or Stop All\tSpace"));
        QCOMPARE(f.nib->controlWindow().btnPlay()->shortcut(), QKeySequence(Qt::Key_Space));
        QTest::keyClick(&f.pane(1), Qt::Key_Space);
        QTRY_COMPARE(f.playing().constFirst(), false);
    }

    // Play or Stop All's key, moved, plays and stops once from each window: the palette and the playlist
    // window are the main window's tools, where its keys answer too, so they keep no key of their own for it
    // (two shortcuts on one key in a window both go unanswered).
    void thePlayKeyAnswersOnceInEachWindow_data()
    {
        QTest::addColumn<QKeySequence>("key");
        QTest::newRow("a letter") << QKeySequence(Qt::Key_P);
        QTest::newRow("with Ctrl") << QKeySequence(Qt::CTRL | Qt::Key_P);
    }

    void thePlayKeyAnswersOnceInEachWindow()
    {
        QFETCH(QKeySequence, key);
        AppFixture f;
        QVERIFY(f.show());
        f.chooseWithEntries({1});
        f.settle();
        QCOMPARE(f.nib->commandKeys().setKey(QStringLiteral("play-or-stop-all"), key), QString());
        bool playing = false;
        for (QWidget* window :
             std::initializer_list<QWidget*>{&f.window(), &f.nib->controlWindow(), &f.playlistWindow()}) {
            window->show();
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            QTest::keyClick(window->windowHandle(), key[0].key(), key[0].keyboardModifiers());
            playing = !playing;
            QTRY_VERIFY2(f.playing().constFirst() == playing, window->metaObject()->className());
        }
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
