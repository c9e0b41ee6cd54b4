// A pane's keys, clicks and drops, given as the events the window system delivers.
#include "PaneFixture.h"

#include "panes/MoviePaneInput.h"

#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QUrl>

using namespace tetrapan;
using namespace tetrapan::test;
using namespace std::chrono_literals;

namespace {

// Counts the key presses that reach the window, that is, that the pane let go on.
struct KeyCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        // The modifier keys a key click presses first are not the key itself.
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            count +=
                key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Meta && key != Qt::Key_Alt;
        }
        return false;
    }
};

void sendMouse(QWidget& pane, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), pane.mapToGlobal(QPointF(pos)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&pane, &event);
}

// Drops the URLs after a drag entered the pane, which makes it the drag's target; the action taken.
Qt::DropAction drop(QWidget& pane, const QList<QUrl>& urls, Qt::DropActions offered = Qt::CopyAction)
{
    QMimeData data;
    data.setUrls(urls);
    if (urls.isEmpty())
        data.setData("text/uri-list", QByteArray());
    QDragEnterEvent enter(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&pane, &enter);
    // the window system drops only on a widget that took the drag
    if (!enter.isAccepted())
        return Qt::IgnoreAction;
    QDropEvent event(QPointF(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&pane, &event);
    return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
}

} // namespace

class TestMoviePaneInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keysActOnAllPanes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<MovieTime>("position");
        QTest::addColumn<bool>("playing"); // right after the key
        QTest::addColumn<bool>("passedOn");
        // Panes 1 and 2 stand at 12.7 s of 60 s; pane 1 plays; skips are 5 s. The key goes to pane 3, which
        // is empty.
        QTest::newRow("Left") << int(Qt::Key_Left) << 0 << at600(7) << false << false;
        QTest::newRow("Shift+Left") << int(Qt::Key_Left) << int(Qt::ShiftModifier) << at600(0) << false
                                    << false;
        QTest::newRow("Right") << int(Qt::Key_Right) << 0 << at600(17) << false << false;
        QTest::newRow("Shift+Right") << int(Qt::Key_Right) << int(Qt::ShiftModifier) << at600(60) << false
                                     << false;
        QTest::newRow("Ctrl+Left is Left")
            << int(Qt::Key_Left) << int(Qt::ControlModifier) << at600(7) << false << false;
        QTest::newRow("Up is swallowed") << int(Qt::Key_Up) << 0 << at600(12.7) << true << false;
        QTest::newRow("Down is swallowed") << int(Qt::Key_Down) << 0 << at600(12.7) << true << false;
        QTest::newRow("Space stops all") << int(Qt::Key_Space) << 0 << at600(12.7) << false << false;
        QTest::newRow("Shift+Space stops all")
            << int(Qt::Key_Space) << int(Qt::ShiftModifier) << at600(12.7) << false << false;
        QTest::newRow("other keys go on") << int(Qt::Key_A) << 0 << at600(12.7) << true << true;
    }

    void keysActOnAllPanes()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(MovieTime, position);
        QFETCH(bool, playing);
        QFETCH(bool, passedOn);
        LibraryPaneFixture f;
        f.setFloat("optSkipTime", 5.0f);
        f.load(1)->moveTo(at600(12.7));
        f.load(2)->moveTo(at600(12.7));
        f.pane(1).playMovie();
        KeyCounter counter;
        f.window.installEventFilter(&counter);
        QTest::keyClick(&f.pane(3), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(f.movieOf(1)->currentTime(), position);
        QCOMPARE(f.movieOf(2)->currentTime(), position);
        QCOMPARE(f.pane(1).isPlaying(), playing);
        QVERIFY(!f.pane(2).isPlaying() || key == Qt::Key_Space);
        QCOMPARE(counter.count > 0, passedOn);
    }

    void clicks_data()
    {
        QTest::addColumn<QString>(
            "sequence"); // p press, d second press of a double click, r release; @ moves
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
        QFETCH(bool, toggled);
        LibraryPaneFixture f;
        f.window.resize(400, 300);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.load(2);
        f.pane(2).setMovieController(true);
        QCoreApplication::processEvents(); // the bar is laid out
        const QRect bar = f.pane(2).movieControllerBounds();
        QVERIFY(!bar.isEmpty());
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
        QCOMPARE(f.pane(2).isPlaying(), toggled);
        QCOMPARE(f.pane(2).isClickedController(), onControllerBar);
    }

    void dragAcceptance_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<Qt::DropActions>("offered");
        QTest::addColumn<bool>("accepted");
        const QString files = "text/uri-list";
        QTest::newRow("file list, copy or link") << files << (Qt::CopyAction | Qt::LinkAction) << true;
        QTest::newRow("file list, copy") << files << Qt::DropActions(Qt::CopyAction) << true;
        QTest::newRow("file list, copy or move") << files << (Qt::CopyAction | Qt::MoveAction) << true;
        QTest::newRow("file list, link only") << files << Qt::DropActions(Qt::LinkAction) << false;
        QTest::newRow("file list, move only") << files << Qt::DropActions(Qt::MoveAction) << false;
        QTest::newRow("plain text") << "text/plain" << Qt::DropActions(Qt::CopyAction) << false;
    }

    void dragAcceptance()
    {
        QFETCH(QString, format);
        QFETCH(Qt::DropActions, offered);
        QFETCH(bool, accepted);
        LibraryPaneFixture f;
        QMimeData data;
        data.setData(format, "file:///clips/a.mp4\r\n");
        QDragEnterEvent enter(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QDragMoveEvent move(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
        for (QDragMoveEvent* event : {static_cast<QDragMoveEvent*>(&enter), &move}) {
            event->setDropAction(Qt::MoveAction);
            QCoreApplication::sendEvent(&f.pane(1), event);
            QCOMPARE(event->isAccepted(), accepted);
            if (accepted)
                QCOMPARE(event->dropAction(), Qt::CopyAction);
        }
        // the drag leaves, as a real one does, so the application forgets this pane as its target
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(&f.pane(1), &leave);
    }

    void dropPlacesTheFileShortlyAfter_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("a file") << false;
        QTest::newRow("a link, placed as its target") << true;
    }

    void dropPlacesTheFileShortlyAfter()
    {
        QFETCH(bool, throughLink);
        LibraryPaneFixture f;
        const ObjectId list = f.playlist("list");
        f.select(list);
        QString dropped = clip("dropped.mp4");
        QString placed = dropped;
        if (throughLink) {
            placed = f.home.filePath("movie.mp4");
            dropped = f.home.filePath("link.mp4");
            QVERIFY(QFile(placed).open(QIODevice::WriteOnly));
            QVERIFY(QFile::link(placed, dropped));
        }
        QCOMPARE(drop(f.pane(3), {QUrl::fromLocalFile(dropped)}, Qt::CopyAction | Qt::LinkAction),
                 Qt::CopyAction);
        f.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay - 1ms);
        QCOMPARE(f.pane(3).filePath(), QString());
        f.scheduler.advance(1ms);
        QCOMPARE(f.pane(3).filePath(), placed);
        QCOMPARE(f.entryPaths(list, 3), QStringList{placed});
    }

    void dropsThatChangeNothing_data()
    {
        QTest::addColumn<QList<QUrl>>("dropped");
        QTest::addColumn<bool>("alerted");
        QTest::newRow("two files") << QList<QUrl>{QUrl::fromLocalFile(clip("a.mp4")),
                                                  QUrl::fromLocalFile(clip("b.mp4"))}
                                   << true;
        QTest::newRow("the pane's own file") << QList<QUrl>{QUrl::fromLocalFile(clip("own.mp4"))} << false;
        QTest::newRow("no file") << QList<QUrl>{} << false;
        QTest::newRow("a file elsewhere") << QList<QUrl>{QUrl("https://example.org/a.mp4")} << false;
    }

    void dropsThatChangeNothing()
    {
        QFETCH(QList<QUrl>, dropped);
        QFETCH(bool, alerted);
        LibraryPaneFixture f;
        const ObjectId list = f.playlist("list");
        f.entry(list, 2, clip("own.mp4"));
        f.show(list);
        FakeMovie* before = f.movieOf(2);
        QCOMPARE(drop(f.pane(2), dropped), Qt::IgnoreAction);
        QCOMPARE(f.scheduler.pendingCount(), 0);
        QCOMPARE(f.movieOf(2), before);
        QCOMPARE(f.entryPaths(list, 2), QStringList{clip("own.mp4")});
        QCOMPARE(f.dialogs.alerts.size(), alerted ? 1 : 0);
        if (alerted) {
            const AlertRequest& alert = f.dialogs.alerts.first();
            QCOMPARE(alert.messageText, QStringLiteral("Two or more files are added."));
            QCOMPARE(alert.informativeText, QStringLiteral("Please add only one file."));
            QCOMPARE(alert.buttons, QStringList{"Cancel"});
        }
    }
};

QTEST_MAIN(TestMoviePaneInput)
#include "tst_moviepaneinput.moc"
