// A pane's keys, clicks and drops, given as the events the window system delivers.
#include "LibraryPaneFixture.h"

#include "panes/MoviePaneInput.h"

#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace tetrapan;
using namespace std::chrono_literals;
using tetrapan::test::FakeMovie;
using tetrapan::test::LibraryPaneFixture;

namespace {

MovieTime at600(double seconds)
{
    return MovieTime::fromSeconds(seconds, 600);
}

// Counts the key presses that reach a widget, that is, that the pane let go on.
class KeyCounter : public QObject {
public:
    static bool isModifier(int key)
    {
        return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Meta || key == Qt::Key_Alt;
    }
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        // The modifier keys a key click presses first are not the key itself.
        if (event->type() == QEvent::KeyPress && !isModifier(static_cast<QKeyEvent*>(event)->key()))
            ++count;
        return false;
    }
};

void sendMouse(QWidget& pane, QEvent::Type type, QPoint pos, Qt::KeyboardModifiers modifiers = {})
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), pane.mapToGlobal(QPointF(pos)), Qt::LeftButton, held, modifiers);
    QCoreApplication::sendEvent(&pane, &event);
}

// A drop arrives after the drag entered the pane, which makes the pane the drag's target.
void sendDrop(QWidget& pane, QDropEvent& drop)
{
    QDragEnterEvent enter(drop.position().toPoint(), drop.possibleActions(), drop.mimeData(), drop.buttons(),
                          drop.modifiers());
    QCoreApplication::sendEvent(&pane, &enter);
    QCoreApplication::sendEvent(&pane, &drop);
}

QMimeData* urls(const QList<QUrl>& list)
{
    auto* data = new QMimeData;
    data->setUrls(list);
    return data;
}

} // namespace

class TestMoviePaneInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keysActOnAllPanes_data();
    void keysActOnAllPanes();
    void clicks_data();
    void clicks();
    void dragAcceptance_data();
    void dragAcceptance();
    void dropOfOneFilePlacesItShortlyAfter();
    void dropOfALinkPlacesItsTarget();
    void dropsThatChangeNothing_data();
    void dropsThatChangeNothing();
};

void TestMoviePaneInput::keysActOnAllPanes_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<MovieTime>("position");
    QTest::addColumn<bool>("playing"); // right after the key
    QTest::addColumn<bool>("passedOn");
    const Qt::KeyboardModifiers none;
    // Panes 1 and 2 stand at 12.7 s of 60 s; pane 1 plays. The key goes to pane 3, which is empty.
    QTest::newRow("Left") << int(Qt::Key_Left) << none << at600(2) << false << false;
    QTest::newRow("Shift+Left") << int(Qt::Key_Left) << Qt::KeyboardModifiers(Qt::ShiftModifier) << at600(0)
                                << false << false;
    QTest::newRow("Right") << int(Qt::Key_Right) << none << at600(22) << false << false;
    QTest::newRow("Shift+Right") << int(Qt::Key_Right) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                 << at600(60) << false << false;
    QTest::newRow("Ctrl+Left is Left")
        << int(Qt::Key_Left) << Qt::KeyboardModifiers(Qt::ControlModifier) << at600(2) << false << false;
    QTest::newRow("Up is swallowed") << int(Qt::Key_Up) << none << at600(12.7) << true << false;
    QTest::newRow("Down is swallowed") << int(Qt::Key_Down) << none << at600(12.7) << true << false;
    QTest::newRow("Space stops all") << int(Qt::Key_Space) << none << at600(12.7) << false << false;
    QTest::newRow("Shift+Space stops all")
        << int(Qt::Key_Space) << Qt::KeyboardModifiers(Qt::ShiftModifier) << at600(12.7) << false << false;
    QTest::newRow("other keys go on") << int(Qt::Key_A) << none << at600(12.7) << true << true;
}

void TestMoviePaneInput::keysActOnAllPanes()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(MovieTime, position);
    QFETCH(bool, playing);
    QFETCH(bool, passedOn);
    LibraryPaneFixture f;
    f.load(1)->moveTo(at600(12.7));
    f.load(2)->moveTo(at600(12.7));
    f.pane(1).playMovie();
    KeyCounter counter;
    f.window.installEventFilter(&counter);

    QTest::keyClick(&f.pane(3), Qt::Key(key), modifiers);
    QCOMPARE(f.movieOf(1)->currentTime(), position);
    QCOMPARE(f.movieOf(2)->currentTime(), position);
    QCOMPARE(f.pane(1).isPlaying(), playing);
    QVERIFY(!f.pane(2).isPlaying() || key == Qt::Key_Space);
    QCOMPARE(counter.count > 0, passedOn);
}

void TestMoviePaneInput::clicks_data()
{
    QTest::addColumn<QString>("sequence"); // p press, d second press of a double click, r release; @ moves
    QTest::addColumn<bool>("onControllerBar");
    QTest::addColumn<bool>("toggled");
    QTest::newRow("single click") << "pr" << false << false;
    QTest::newRow("double click") << "prdr" << false << true;
    QTest::newRow("double click that moves before release") << "prd@r" << false << false;
    QTest::newRow("triple click toggles once") << "prdrpr" << false << true;
    QTest::newRow("double click on the controller bar") << "prdr" << true << false;
}

void TestMoviePaneInput::clicks()
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
    for (QChar step : sequence) {
        if (step == QLatin1Char('p'))
            sendMouse(f.pane(2), QEvent::MouseButtonPress, pos);
        else if (step == QLatin1Char('d'))
            sendMouse(f.pane(2), QEvent::MouseButtonDblClick, pos);
        else if (step == QLatin1Char('r'))
            sendMouse(f.pane(2), QEvent::MouseButtonRelease, pos);
        else
            pos += QPoint(3, 0);
    }
    QCOMPARE(f.pane(2).isPlaying(), toggled);
    QCOMPARE(f.pane(2).isClickedController(), onControllerBar);
}

void TestMoviePaneInput::dragAcceptance_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<Qt::DropActions>("offered");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("file list, copy or link") << "text/uri-list" << (Qt::CopyAction | Qt::LinkAction) << true;
    QTest::newRow("file list, copy") << "text/uri-list" << Qt::DropActions(Qt::CopyAction) << true;
    QTest::newRow("file list, copy or move") << "text/uri-list" << (Qt::CopyAction | Qt::MoveAction) << true;
    QTest::newRow("file list, link only") << "text/uri-list" << Qt::DropActions(Qt::LinkAction) << false;
    QTest::newRow("file list, move only") << "text/uri-list" << Qt::DropActions(Qt::MoveAction) << false;
    QTest::newRow("plain text") << "text/plain" << Qt::DropActions(Qt::CopyAction) << false;
}

void TestMoviePaneInput::dragAcceptance()
{
    QFETCH(QString, format);
    QFETCH(Qt::DropActions, offered);
    QFETCH(bool, accepted);
    LibraryPaneFixture f;
    QMimeData data;
    data.setData(format, "file:///clips/a.mp4\r\n");
    for (QEvent::Type type : {QEvent::DragEnter, QEvent::DragMove}) {
        QDragEnterEvent enter(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QDragMoveEvent move(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QDragMoveEvent& event = type == QEvent::DragEnter ? enter : move;
        event.setDropAction(Qt::MoveAction);
        QCoreApplication::sendEvent(&f.pane(1), &event);
        QCOMPARE(event.isAccepted(), accepted);
        if (accepted)
            QCOMPARE(event.dropAction(), Qt::CopyAction);
    }
}

void TestMoviePaneInput::dropOfOneFilePlacesItShortlyAfter()
{
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    f.select(list);
    std::unique_ptr<QMimeData> data(urls({QUrl::fromLocalFile("/clips/dropped.mp4")}));
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::LinkAction, data.get(), Qt::LeftButton,
                    Qt::NoModifier);
    sendDrop(f.pane(3), drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    f.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay - 1ms);
    QCOMPARE(f.pane(3).filePath(), QString());
    f.scheduler.advance(1ms);
    QCOMPARE(f.pane(3).filePath(), QStringLiteral("/clips/dropped.mp4"));
    QCOMPARE(f.entryPaths(list, 3), QStringList{"/clips/dropped.mp4"});
}

void TestMoviePaneInput::dropOfALinkPlacesItsTarget()
{
    LibraryPaneFixture f;
    QTemporaryDir dir;
    const QString target = dir.filePath("movie.mp4");
    const QString link = dir.filePath("link.mp4");
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(target, link));
    f.select(f.playlist("list"));
    std::unique_ptr<QMimeData> data(urls({QUrl::fromLocalFile(link)}));
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    sendDrop(f.pane(1), drop);
    f.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay);
    QCOMPARE(f.pane(1).filePath(), target);
}

void TestMoviePaneInput::dropsThatChangeNothing_data()
{
    QTest::addColumn<QList<QUrl>>("dropped");
    QTest::addColumn<bool>("alerted");
    QTest::newRow("two files") << QList<QUrl>{QUrl::fromLocalFile("/clips/a.mp4"),
                                              QUrl::fromLocalFile("/clips/b.mp4")}
                               << true;
    QTest::newRow("the pane's own file") << QList<QUrl>{QUrl::fromLocalFile("/clips/own.mp4")} << false;
    QTest::newRow("no file") << QList<QUrl>{} << false;
    QTest::newRow("a file elsewhere") << QList<QUrl>{QUrl("https://example.org/a.mp4")} << false;
}

void TestMoviePaneInput::dropsThatChangeNothing()
{
    QFETCH(QList<QUrl>, dropped);
    QFETCH(bool, alerted);
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    f.entry(list, 2, "/clips/own.mp4");
    f.show(list);
    FakeMovie* before = f.movieOf(2);
    std::unique_ptr<QMimeData> data(urls(dropped));
    if (dropped.isEmpty())
        data->setData("text/uri-list", QByteArray());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    sendDrop(f.pane(2), drop);
    QVERIFY(!drop.isAccepted());
    QCOMPARE(f.scheduler.pendingCount(), 0);
    QCOMPARE(f.movieOf(2), before);
    QCOMPARE(f.entryPaths(list, 2), QStringList{"/clips/own.mp4"});
    QCOMPARE(f.dialogs.alerts.size(), alerted ? 1 : 0);
    if (alerted) {
        const AlertRequest& alert = f.dialogs.alerts.first();
        QCOMPARE(alert.messageText, QStringLiteral("Two or more files are added."));
        QCOMPARE(alert.informativeText, QStringLiteral("Please add only one file."));
        QCOMPARE(alert.buttons, QStringList{"Cancel"});
    }
}

QTEST_MAIN(TestMoviePaneInput)
#include "tst_moviepaneinput.moc"
