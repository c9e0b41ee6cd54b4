// A real Ctrl-drag on an X server: the file of pane 1 carried to pane 3 by the window system's own drag; one
// let go over its own pane places nothing, also for a recording's pane, whose drag carries its folder.
#include "PaneFixture.h"
#include "ProgramProcess.h"

#include "library/RecordingSource.h"
#include "panes/MoviePaneInput.h"
#include "panes/PanePlacing.h"

#include <QFile>
#include <QTest>

using namespace tetrapan;
using tetrapan::test::PaneFixture;

class TestPaneDrag : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ctrlDragCarriesPaneOnesFileToPaneThree()
    {
        PaneFixture f;
        const QString movie = f.home.filePath("one.mp4");
        QVERIFY(QFile(movie).open(QIODevice::WriteOnly));
        const ObjectId list = f.playlist("list");
        f.select(list);
        f.pane(1).placing().createMovieFrame(movie);
        QCOMPARE(f.entryPaths(list, 1), QStringList{movie});

        // Panes 1 and 2 on the left, 3 and 4 on the right.
        for (int n = 1; n <= 4; ++n)
            f.pane(n).setGeometry(((n - 1) / 2) * 200, ((n - 1) % 2) * 150, 200, 150);
        f.window.resize(400, 300);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        // The drag runs its own event loop from the press on, while the pointer goes on moving.
        const int pending = f.scheduler.pendingCount();
        QVERIFY(test::dragWithPointer(f.pane(1).mapToGlobal(QPoint(100, 60)),
                                      f.pane(3).mapToGlobal(QPoint(100, 60)), true));
        // xdotool is done once it has sent the release; the drop reaches the pane when the X server and Qt
        // have passed it on, and sets the placing of the file a moment ahead.
        QTRY_COMPARE(f.scheduler.pendingCount(), pending + 1);

        f.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay);
        QCOMPARE(f.pane(3).filePath(), movie);
        QCOMPARE(f.entryPaths(list, 3), QStringList{movie});
        QCOMPARE(f.pane(1).filePath(), movie);
        QCOMPARE(f.entryPaths(list, 1), QStringList{movie});
        QVERIFY(f.dialogs.alerts.isEmpty());

        // pane 1 as a recording's pane: its drag carries the folder, not the locator the pane shows
        Recording recording;
        recording.folder = f.home.path();
        recording.camera = QStringLiteral("front");
        f.pane(1).setFilePath(RecordingSource::locator(recording));
        const int before = f.scheduler.pendingCount();
        QVERIFY(test::dragWithPointer(f.pane(1).mapToGlobal(QPoint(100, 60)),
                                      f.pane(1).mapToGlobal(QPoint(60, 100)), true));
        // a drag after it, whose drop comes once the first one's was taken
        QVERIFY(test::dragWithPointer(f.pane(3).mapToGlobal(QPoint(100, 60)),
                                      f.pane(4).mapToGlobal(QPoint(100, 60)), true));
        QTRY_VERIFY(f.scheduler.pendingCount() > before);
        f.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay);
        QCOMPARE(f.pane(4).filePath(), movie);
        QVERIFY(!f.pane(1).isOpening());
    }
};

QTEST_MAIN(TestPaneDrag)
#include "tst_panedrag.moc"
