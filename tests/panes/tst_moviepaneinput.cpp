// A pane's keys, clicks and drops, given as the events the window system delivers, and its menu: the items,
// their enabled states and check marks as the pane stands when it opens, the copy submenu, what choosing an
// item does.
#include "PaneFixture.h"
#include "panes/fileDrag.h"

#include "panes/PaneCompare.h"
#include "panes/PaneNudge.h"
#include "panes/PaneOffsetDialog.h"
#include "panes/SyncLock.h"

#include "engine/MovieView.h"
#include "panes/MoviePaneInput.h"
#include "panes/PaneZoom.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

using namespace tetrapan;
using namespace tetrapan::test;
using namespace std::chrono_literals;

namespace {

// "Title|(Disabled)|Checked*|-" with "-" for a separator.
QString describe(const QMenu& menu)
{
    QStringList items;
    for (const QAction* action : menu.actions()) {
        // without the keys shown after a tab
        const QString title = action->text().section('\t', 0, 0);
        QString text = action->isEnabled() ? title : QStringLiteral("(%1)").arg(title);
        items << (action->isSeparator() ? QStringLiteral("-") : action->isChecked() ? text + '*' : text);
    }
    return items.join('|');
}

QAction* item(const QMenu& menu, const QString& title)
{
    for (QAction* action : menu.actions()) {
        if (action->text().section('\t', 0, 0) == title)
            return action;
    }
    return nullptr;
}

void sendMouse(QWidget& pane, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), pane.mapToGlobal(QPointF(pos)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&pane, &event);
}

// "2 0.375 0.383": the zoom's factor and centre.
QString zoomText(const ViewZoom& zoom)
{
    return QStringLiteral("%1 %2 %3")
        .arg(zoom.factor)
        .arg(zoom.centre.x(), 0, 'g', 3)
        .arg(zoom.centre.y(), 0, 'g', 3);
}

} // namespace

class TestMoviePaneInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keysActOnAllPanes_data()
    {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<double>("position"); // of panes 1 and 2 afterwards
        QTest::addColumn<bool>("playing");    // pane 1, right after the key
        QTest::addColumn<bool>("passedOn");
        // Panes 1 and 2 stand at 12.7 s of 60 s; pane 1 plays; skips are 5 s. The key goes to pane 3, which
        // is empty.
        QTest::newRow("Left") << QKeyCombination(Qt::Key_Left) << 7.0 << false << false;
        QTest::newRow("Shift+Left") << (Qt::ShiftModifier | Qt::Key_Left) << 0.0 << false << false;
        QTest::newRow("Right") << QKeyCombination(Qt::Key_Right) << 17.0 << false << false;
        QTest::newRow("Shift+Right") << (Qt::ShiftModifier | Qt::Key_Right) << 60.0 << false << false;
        QTest::newRow("Ctrl+Left is Left") << (Qt::ControlModifier | Qt::Key_Left) << 7.0 << false << false;
        QTest::newRow("Up is swallowed") << QKeyCombination(Qt::Key_Up) << 12.7 << true << false;
        QTest::newRow("Space stops all") << QKeyCombination(Qt::Key_Space) << 12.7 << false << false;
        QTest::newRow("Shift+Space stops all")
            << (Qt::ShiftModifier | Qt::Key_Space) << 12.7 << false << false;
        QTest::newRow("other keys go on") << QKeyCombination(Qt::Key_A) << 12.7 << true << true;
    }

    void keysActOnAllPanes()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(double, position);
        PaneFixture f;
        f.setFloat("optSkipTime", 5.0f);
        f.load(1)->moveTo(at600(12.7));
        f.load(2)->moveTo(at600(12.7));
        f.pane(1).playMovie();
        QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(),
                        key.key() == Qt::Key_Space ? QStringLiteral(" ") : QString());
        QCoreApplication::sendEvent(&f.pane(3), &press); // what the pane lets go on reaches its window
        QCOMPARE(f.movieOf(1)->currentTime(), at600(position));
        QCOMPARE(f.movieOf(2)->currentTime(), at600(position));
        QTEST(f.pane(1).isPlaying(), "playing");
        QVERIFY(!f.pane(2).isPlaying());
        QTEST(!press.isAccepted(), "passedOn");
    }

    void clicks_data()
    {
        // p press, d second press of a double click, r release; @ moves
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<bool>("onControllerBar");
        QTest::addColumn<bool>("toggled");
        QTest::newRow("single click") << "pr" << false << false;
        QTest::newRow("double click") << "prdr" << false << true;
        QTest::newRow("double click that moves before release") << "prd@r" << false << false;
        QTest::newRow("triple click toggles once") << "prdrpr" << false << true;
        QTest::newRow("double click on the controller bar") << "prdr" << true << false;
    }

    void clicks()
    {
        QFETCH(QString, sequence);
        QFETCH(bool, onControllerBar);
        PaneFixture f;
        f.window.resize(400, 300);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.load(2);
        f.pane(2).setMovieController(true);
        QCoreApplication::processEvents(); // the bar is laid out
        // the bar lies along the pane's bottom edge, the picture above it
        const QRect bar = f.pane(2).movieControllerBounds();
        QCOMPARE(bar.bottom(), f.pane(2).rect().bottom());
        QCOMPARE(bar.width(), f.pane(2).width());
        QCOMPARE(f.pane(2).movieView()->geometry().bottom(), bar.top() - 1);
        QPoint pos = onControllerBar ? QPoint(bar.right() - 2, bar.center().y()) : QPoint(50, 40);
        const QHash<QChar, QEvent::Type> events{{'p', QEvent::MouseButtonPress},
                                                {'d', QEvent::MouseButtonDblClick},
                                                {'r', QEvent::MouseButtonRelease}};
        for (QChar step : sequence) {
            if (step == '@')
                pos += QPoint(3, 0);
            else
                sendMouse(f.pane(2), events.value(step), pos);
        }
        QTEST(f.pane(2).isPlaying(), "toggled");
        QCOMPARE(f.pane(2).isClickedController(), onControllerBar);
    }

    // The detail zoom's rules, where a point of the picture lands (views of 200x150).
    void zoomArithmetic_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<double>("factor"); // zoomed to, around the pointer; 0: a drag
        QTest::addColumn<QPointF>("at");    // the pointer, or how far the drag went
        QTest::addColumn<QSizeF>("picture");
        QTest::addColumn<QString>("zoom");
        const QSizeF full(200, 150);
        QTest::newRow("twice at the middle") << "1 0.5 0.5" << 2.0 << QPointF(100, 75) << full << "2 0.5 0.5";
        // the picture's point under the pointer (a quarter across and down) stays under it
        QTest::newRow("twice at a quarter")
            << "1 0.5 0.5" << 2.0 << QPointF(50, 37.5) << full << "2 0.375 0.375";
        QTest::newRow("twice at the corner, no gap")
            << "1 0.5 0.5" << 2.0 << QPointF(0, 0) << full << "2 0.25 0.25";
        QTest::newRow("past 8 stops at 8") << "1 0.5 0.5" << 16.0 << QPointF(100, 75) << full << "8 0.5 0.5";
        QTest::newRow("below 1 is the whole picture")
            << "4 0.3 0.3" << 0.5 << QPointF(10, 10) << full << "1 0.5 0.5";
        // a wide picture with bars above and below: its height only fills the view from 4/3 on
        QTest::newRow("wide picture")
            << "1 0.5 0.5" << 2.0 << QPointF(100, 20) << QSizeF(200, 112.5) << "2 0.5 0.333";
        QTest::newRow("drag right shows more of the left")
            << "4 0.5 0.5" << 0.0 << QPointF(40, 0) << full << "4 0.45 0.5";
        QTest::newRow("drag stops at the edge")
            << "2 0.3 0.5" << 0.0 << QPointF(100, 0) << full << "2 0.25 0.5";
        QTest::newRow("drag of the whole picture")
            << "1 0.5 0.5" << 0.0 << QPointF(50, 50) << full << "1 0.5 0.5";
    }

    void zoomArithmetic()
    {
        QFETCH(QString, start);
        QFETCH(double, factor);
        QFETCH(QPointF, at);
        QFETCH(QSizeF, picture);
        const QStringList parts = start.split(' ');
        const ViewZoom from{parts[0].toDouble(), {parts[1].toDouble(), parts[2].toDouble()}};
        const QSizeF view(200, 150);
        QTEST(zoomText(factor > 0 ? PaneZoom::zoomedAround(from, factor, at, view, picture)
                                  : PaneZoom::panned(from, at, view, picture)),
              "zoom");
    }

    // Ctrl and the wheel zoom a pane (w, 3 notches at 50,40; W without Ctrl); the middle button (m) or Alt
    // and the left one (a) drag it 20 pixels right; Alt and a double click (A) reset it; c chooses a
    // playlist.
    void zoomByWheelAndDrags_data()
    {
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<bool>("together");
        QTest::addColumn<QString>("pane2");
        QTest::addColumn<QString>("pane3");
        const QString whole = "1 0.5 0.5";
        const QString zoomed = "2 0.375 0.383";
        QTest::newRow("wheel, together") << "w" << true << zoomed << zoomed;
        QTest::newRow("wheel, alone") << "w" << false << zoomed << whole;
        QTest::newRow("wheel without Ctrl") << "W" << true << whole << whole;
        QTest::newRow("middle drag") << "wm" << false << "2 0.325 0.383" << whole;
        QTest::newRow("Alt drag, together") << "wa" << true << "2 0.325 0.383"
                                            << "2 0.325 0.383";
        QTest::newRow("Alt double click") << "wA" << true << whole << whole;
        QTest::newRow("playlist chosen, together") << "wc" << true << zoomed << zoomed;
        QTest::newRow("playlist chosen, alone") << "wc" << false << whole << whole;
    }

    void zoomByWheelAndDrags()
    {
        QFETCH(QString, sequence);
        QFETCH(bool, together);
        PaneFixture f;
        userDefaultsExtension::setDefaultBoolValue(f.settings, together, PaneZoom::OptZoomTogether);
        f.window.resize(400, 300);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.load(2);
        f.load(3);
        QWidget& pane = f.pane(2);
        const auto mouse = [&pane](QEvent::Type type, Qt::MouseButton button, QPoint pos,
                                   Qt::KeyboardModifiers keys) {
            QMouseEvent event(type, QPointF(pos), pane.mapToGlobal(QPointF(pos)), button,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : button, keys);
            QCoreApplication::sendEvent(&pane, &event);
        };
        const auto drag = [&mouse](Qt::MouseButton button, Qt::KeyboardModifiers keys) {
            mouse(QEvent::MouseButtonPress, button, {60, 60}, keys);
            mouse(QEvent::MouseMove, button, {70, 60}, keys);
            mouse(QEvent::MouseMove, button, {80, 60}, keys);
            mouse(QEvent::MouseButtonRelease, button, {80, 60}, keys);
        };
        bool passedOn = false;
        for (QChar step : sequence) {
            if (step.toLower() == 'w') {
                const QPointF at(50, 40);
                QWheelEvent wheel(at, pane.mapToGlobal(at), {}, {0, 360}, Qt::NoButton,
                                  step == 'w' ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase,
                                  false);
                QCoreApplication::sendEvent(&pane, &wheel);
                passedOn = !wheel.isAccepted();
            } else if (step == 'm') {
                drag(Qt::MiddleButton, Qt::NoModifier);
            } else if (step == 'a') {
                drag(Qt::LeftButton, Qt::AltModifier);
            } else if (step == 'A') {
                for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                          QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
                    mouse(type, Qt::LeftButton, {60, 60}, Qt::AltModifier);
            } else if (step == 'c') {
                f.chooseWithEntries(3, "next.mp4");
            }
        }
        QTEST(zoomText(f.pane(2).movieView()->zoom()), "pane2");
        QTEST(zoomText(f.pane(3).movieView()->zoom()), "pane3");
        // a wheel without Ctrl goes on as before; no click, drag or double click here plays the pane
        QCOMPARE(passedOn, sequence == "W");
        QVERIFY(!f.pane(2).isPlaying());
    }

    // A drag is taken when it offers a file list to copy; a file dropped is placed shortly after, unless it
    // is elsewhere or the pane's own already.
    void drags_data()
    {
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<bool>("taken");
        // placed on pane 3, which is empty; the others go to pane 2, which shows own.mp4
        QTest::addColumn<bool>("placed");
        QTest::newRow("a file") << "file" << true << true;
        QTest::newRow("a link, placed as its target") << "link" << true << true;
        QTest::newRow("the pane's own file") << "own" << true << false;
        QTest::newRow("a file elsewhere") << "remote" << true << false;
        QTest::newRow("a file offered for a link only") << "link only" << false << false;
        QTest::newRow("plain text") << "text" << false << false;
        // said once the drop is over: an alert inside it would hold the file manager's drag
        QTest::newRow("two files") << "two" << true << false;
    }

    void drags()
    {
        QFETCH(QString, dragged);
        QFETCH(bool, taken);
        QFETCH(bool, placed);
        PaneFixture f;
        const ObjectId list = f.chooseWithEntries(2, "own.mp4");
        const QString movie = f.home.filePath("movie.mp4");
        const QString link = f.home.filePath("link.mp4");
        QVERIFY(QFile(movie).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(movie, link));
        f.engine.titles.insert(movie, QStringLiteral("Placed"));
        const QHash<QString, QUrl> urls{{"link", QUrl::fromLocalFile(link)},
                                        {"own", QUrl::fromLocalFile(clip("own.mp4"))},
                                        {"remote", QUrl("https://example.org/a.mp4")}};
        QMimeData data;
        if (dragged == "text")
            data.setText(movie);
        else if (dragged == "two")
            data.setUrls({QUrl::fromLocalFile(movie), QUrl::fromLocalFile(link)});
        else
            data.setUrls({urls.value(dragged, QUrl::fromLocalFile(movie))});
        const Qt::DropActions offered =
            dragged == "link only" ? Qt::LinkAction : Qt::CopyAction | Qt::LinkAction;
        const int viewNo = placed ? 3 : 2;
        FakeMovie* before = f.movieOf(viewNo);

        QDragEnterEvent enter(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QDragMoveEvent move(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
        for (QDragMoveEvent* event : {static_cast<QDragMoveEvent*>(&enter), &move}) {
            event->setDropAction(Qt::MoveAction);
            QCoreApplication::sendEvent(&f.pane(viewNo), event);
            QCOMPARE(event->isAccepted(), taken);
            if (taken)
                QCOMPARE(event->dropAction(), Qt::CopyAction);
        }
        // the window system drops only on a widget that took the drag; else the drag leaves
        if (taken) {
            QDropEvent drop(QPointF(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&f.pane(viewNo), &drop);
            QCOMPARE(drop.isAccepted(), placed);
            QVERIFY(f.dialogs.alerts.isEmpty());
        } else {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(&f.pane(viewNo), &leave);
        }
        f.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay - 1ms);
        QCOMPARE(f.movieOf(viewNo), before);
        f.scheduler.advance(1ms);
        QCOMPARE(f.movieOf(viewNo) != before, placed);
        const QString shown = placed ? movie : clip("own.mp4");
        QCOMPARE(f.pane(viewNo).filePath(), shown);
        QCOMPARE(f.entryPaths(list, viewNo), QStringList{shown});
        // the entry is made from the movie loaded: it takes the movie's title
        if (placed)
            QCOMPARE(f.entryPaths(list, viewNo, LibrarySchema::Title), QStringList{"Placed"});
        QCOMPARE(f.dialogs.alerts.size(), dragged == "two" ? 1 : 0);
    }

    // A drag out carries every file in its URLs, and in its text those an editor or a shell's prompt takes
    // as one name each.
    void filesDraggedOutAsText_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("text");
        QTest::newRow("two names") << QStringList{"/a/1.mp4", "/b/2.mp4"} << "/a/1.mp4\n/b/2.mp4";
        QTest::newRow("a line break in a name")
            << QStringList{"/a/1.mp4", "/b/x\nrm -rf ~.mp4"} << "/a/1.mp4";
        QTest::newRow("only such names") << QStringList{"/b/x\r.mp4"} << "";
    }

    void filesDraggedOutAsText()
    {
        QFETCH(QStringList, paths);
        QFETCH(QString, text);
        const std::unique_ptr<QMimeData> data(fileDrag::mimeDataForFiles(paths));
        // none at all: a drop target asking for text is given the URLs, line breaks encoded
        QCOMPARE(data->formats().contains(QStringLiteral("text/plain")) ? data->text() : QString(), text);
        QCOMPARE(fileDrag::localFiles(*data), paths);
    }

    void itemsFollowThePane_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("items");
        // An empty pane keeps aspect, so Scale To Fit is unchecked, and can only be given a movie; a lone
        // loaded pane cannot synchronise.
        // no nudges without a pane to count from, the leader (pane 2 or 4)
        const QString offsets =
            "(Set Offset Here)|(Clear Offset)|(Offset and Rate…)|(Nudge a Frame Earlier)|"
            "(Nudge a Frame Later)|(Nudge 10 ms Earlier)|(Nudge 10 ms Later)|(Align This Pane by Sound)|-|";
        // with pane 4, which holds a movie too
        const QString compare =
            "(Compare with Pane 1)|(Compare with Pane 2)|(Compare with Pane 3)|Compare with Pane 4|-|";
        const QString noCompare =
            "(Compare with Pane 1)|(Compare with Pane 2)|(Compare with Pane 3)|(Compare with Pane 4)|-|";
        QTest::newRow("stopped") << "stopped"
                                 << "Play|(Stop)|Sync Time|" + offsets +
                                        "Zoom|-|Controller|Scale To Fit|Mute|-|" + compare +
                                        "Copy To..|-|Open Movie…|Remove";
        QTest::newRow("playing, controller, scaled, muted")
            << "playing"
            << "(Play)|Stop|Sync Time|" + offsets + "Zoom|-|Controller*|Scale To Fit*|Mute*|-|" + compare +
                   "Copy To..|-|Open Movie…|Remove";
        QTest::newRow("alone: no sync, zoomed")
            << "alone"
            << "Play|(Stop)|(Sync Time)|" + offsets + "Zoom*|-|Controller|Scale To Fit|Mute|-|" + compare +
                   "Copy To..|-|Open Movie…|Remove";
        QTest::newRow("empty pane still shows its marks")
            << "empty, zoomed"
            << "(Play)|(Stop)|(Sync Time)|" + offsets + "(Zoom)*|-|(Controller)|(Scale To Fit)|(Mute)|-|" +
                   noCompare + "(Copy To..)|-|Open Movie…|(Remove)";
    }

    void itemsFollowThePane()
    {
        QFETCH(QString, state);
        PaneFixture f;
        PaneCompare compare(f.controller, f.settings, f.scheduler);
        f.menu(2).setPaneCompare(&compare);
        f.load(4); // a second playable pane, so synchronising is possible
        if (!state.startsWith("empty"))
            f.load(2);
        if (state == "playing") {
            f.pane(2).playMovie();
            f.pane(2).setMovieController(true);
            f.pane(2).setMovieAspect(false);
            f.pane(2).setMovieMuted(true);
        }
        if (state == "alone" || state == "empty, zoomed") {
            for (int n : {1, 3, 4})
                f.pane(n).resize(0, 0);
        }
        // Rebuilt before each opening, the menu comes out the same however often.
        f.menu(2).menuNeedsUpdate();
        f.menu(2).menuNeedsUpdate();
        QTEST(describe(f.menu(2)), "items");
        // a loaded pane copies to every other pane
        QMenu* copy = item(f.menu(2), "Copy To..")->menu();
        QCOMPARE(copy != nullptr, !state.startsWith("empty"));
        if (!copy)
            return;
        QCOMPARE(copy, f.menu(2).menuCopy());
        QCOMPARE(describe(*copy), QStringLiteral("Frame 1|(Frame 2)|Frame 3|Frame 4"));
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(copy->actions().at(n - 1)->data().toInt(), n);
    }

    void choosingItemsActsOnThePane()
    {
        PaneFixture f;
        const ObjectId list = f.playlist("list");
        f.entry(list, 2, clip("two.mp4"));
        f.entry(list, 3, clip("three.mp4"));
        f.choose(list);
        f.movieOf(3)->moveTo(at600(9));
        QSignalSpy zoom(&f.controller, &MovController::maximizeSplitViewFrameRequested);
        // as the menu opens and the item is chosen
        const auto choose = [&f](int viewNo, const char* title) {
            f.menu(viewNo).menuNeedsUpdate();
            item(f.menu(viewNo), title)->trigger();
        };
        QTMovieSubView& pane = f.pane(3);
        choose(3, "Controller");
        QVERIFY(pane.isController());
        choose(3, "Scale To Fit");
        QVERIFY(!pane.isKeepAspect());
        choose(3, "Mute");
        QVERIFY(pane.isMuted());
        choose(3, "Zoom");
        QCOMPARE(zoom.value(0).value(0).toInt(), 3);
        choose(3, "Sync Time");
        QCOMPARE(f.movieOf(2)->currentTime(), at600(9));
        f.movieOf(2)->moveTo(at600(0));
        choose(3, "Set Offset Here"); // against pane 2, the leader
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(9000));
        // the pointer over a pane chooses it for the nudge keys; its menu nudges it, and shows the keys
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(&pane, &enter);
        QCOMPARE(f.controller.currentViewNo(), 3);
        SyncLock lock(f.scheduler, f.controller);
        PaneNudge nudge(f.controller, lock);
        f.menu(3).setPaneNudge(&nudge);
        choose(3, "Nudge a Frame Later");
        QCOMPARE(item(f.menu(3), "Nudge a Frame Later")->text(),
                 QStringLiteral("Nudge a Frame Later\tAlt+Right"));
        // a key the user chose instead shows there too
        nudge.action(PaneNudge::FrameLater)->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+N")));
        Q_EMIT f.menu(3).aboutToShow();
        QCOMPARE(item(f.menu(3), "Nudge a Frame Later")->text(),
                 QStringLiteral("Nudge a Frame Later\tCtrl+Alt+N"));
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(9033)); // a movie of no known rate: a 30th
        choose(3, "Offset and Rate…");
        auto* dialog = f.window.findChild<PaneOffsetDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Offset and Rate of Pane 3"));
        dialog->reject();
        choose(3, "Clear Offset (+9.033 s)"); // the menu tells the offset it clears
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(0));
        choose(3, "Play");
        QVERIFY(pane.isPlaying());
        QCOMPARE(f.entryPaths(list, 3), QStringList{clip("three.mp4")});

        item(*f.menu(3).menuCopy(), "Frame 1")->trigger();
        QCOMPARE(f.pane(1).filePath(), clip("three.mp4"));
        QCOMPARE(f.entryPaths(list, 1), QStringList{clip("three.mp4")});
        QCOMPARE(pane.filePath(), clip("three.mp4"));
        QVERIFY(f.movieOf(1) != f.movieOf(3));

        // The pane empties; its entry goes only from the selected playlist.
        choose(1, "Remove");
        QVERIFY(!f.pane(1).isAvailable());
        QCOMPARE(f.pane(1).filePath(), QString());
        QCOMPARE(f.entryPaths(list, 1), QStringList());
        f.select(NoObject);
        choose(3, "Remove");
        QVERIFY(!pane.isAvailable());
        QCOMPARE(f.entryPaths(list, 3), QStringList{clip("three.mp4")});
        QCOMPARE(f.entryPaths(list, 2), QStringList{clip("two.mp4")});
    }

    void rightClickOpensTheRebuiltMenu()
    {
        PaneFixture f;
        f.window.resize(400, 300);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.load(1);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                                f.pane(1).mapToGlobal(QPoint(10, 10)));
        QCoreApplication::sendEvent(&f.pane(1), &event);
        QTRY_VERIFY(f.menu(1).isVisible());
        QVERIFY(item(f.menu(1), "Play")->isEnabled());
        f.menu(1).hide();
        // Meta-click is the one-button mouse's right click.
        f.load(1, "again.mp4");
        f.pane(1).playMovie();
        QTest::mouseClick(&f.pane(1), Qt::LeftButton, Qt::MetaModifier, QPoint(20, 20));
        QTRY_VERIFY(f.menu(1).isVisible());
        QVERIFY(!item(f.menu(1), "Play")->isEnabled());
        QVERIFY(f.pane(1).isPlaying()); // the click itself toggled nothing
        f.menu(1).hide();
    }
};

QTEST_MAIN(TestMoviePaneInput)
#include "tst_moviepaneinput.moc"
