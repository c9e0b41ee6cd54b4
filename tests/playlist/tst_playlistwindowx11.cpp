// Mouse events go through the window system, as the X server's would: grabs, popups and context-menu
// requests take their real paths.
#define QTEST_QPA_MOUSE_HANDLING

#include "AppFixture.h"

#include "playlist/ButtonSelectFilelist.h"

#include <QSplitter>
#include <QToolButton>

using namespace tetrapan;

namespace {

// Opens the header's menu with a right click on the header and clicks the item with the title.
bool clickInHeaderMenu(test::AppFixture& app, const QString& title)
{
    QHeaderView* header = app.table().horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::RightButton, {}, QPoint(8, header->height() / 2));
    CMFilelistHeader& menu = app.nib->cmFilelistHeader();
    if (!QTest::qWaitFor([&] { return menu.isVisible(); }, 5000) || !QTest::qWaitForWindowExposed(&menu))
        return false;
    for (QAction* item : menu.actions()) {
        if (item->text() == title) {
            QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(item).center());
            return QTest::qWaitFor([&] { return !menu.isVisible(); }, 5000);
        }
    }
    return false;
}

bool showActive(test::AppFixture& app)
{
    if (!app.show())
        return false;
    app.playlistWindow().activateWindow();
    return QTest::qWaitForWindowActive(&app.playlistWindow());
}

} // namespace

// The playlist window on a real X display: its header menu and divider worked by the mouse, and what they
// changed there again when the program starts anew on the same home.
class TestPlaylistWindowOnX : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (make test runs the tests under xvfb-run)");
    }

    void headerMenuAndDividerByHandComeBack()
    {
        test::TestHome home;
        const QStringList withoutTime{"viewNo", "filePath", "fileSize", "fileDate"};
        {
            test::AppFixture app({.home = &home});
            QVERIFY(showActive(app));
            app.chooseWithEntries({1, 2});
            QVERIFY(clickInHeaderMenu(app, QStringLiteral("Time")));
            QCOMPARE(app.columns(), withoutTime);

            // the divider dragged up until the tree's part is gone: no adding or removing playlists there
            QSplitter* split = app.playlistWindow().spvPlaylist();
            QWidget* handle = split->handle(1);
            const QPoint grip = handle->rect().center();
            QTest::mousePress(handle, Qt::LeftButton, {}, grip);
            for (int step = 1; step <= 8; ++step)
                QTest::mouseMove(handle, grip - QPoint(0, split->height() * step / 8));
            QTest::mouseRelease(handle, Qt::LeftButton, {}, grip - QPoint(0, split->height()));
            QTRY_COMPARE(split->sizes().at(0), 0);
            QVERIFY(!app.playlistWindow().btnAdd()->isEnabled());
            QVERIFY(!app.playlistWindow().btnRemove()->isEnabled());
            QVERIFY(app.playlistWindow().btnFrame()->isEnabled());

            // quitting closes no window; the window still keeps what it shows
            QVERIFY(app.nib->appDelegate().terminate());
        }
        test::AppFixture app({.home = &home});
        QVERIFY(showActive(app));
        QCOMPARE(app.playlistWindow().spvPlaylist()->sizes().at(0), 0);
        QVERIFY(!app.playlistWindow().btnAdd()->isEnabled());
        QCOMPARE(app.columns(), withoutTime);
    }
};

QTEST_MAIN(TestPlaylistWindowOnX)
#include "tst_playlistwindowx11.moc"
