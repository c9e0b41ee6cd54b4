// A real Ctrl-drag on an X server: the file of pane 1 carried to pane 3 by the window system's own drag.
#include "PaneFixture.h"

#include "panes/MoviePaneInput.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace tetrapan;
using tetrapan::test::LibraryPaneFixture;

class TestPaneDrag : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("a real drag needs an X server (make test runs the tests under xvfb-run)");
    }

    void ctrlDragCarriesPaneOnesFileToPaneThree()
    {
        LibraryPaneFixture f;
        QTemporaryDir dir;
        const QString movie = dir.filePath("one.mp4");
        QVERIFY(QFile(movie).open(QIODevice::WriteOnly));
        const ObjectId list = f.playlist("list");
        f.select(list);
        f.pane(1).createMovieFrame(movie);
        QCOMPARE(f.entryPaths(list, 1), QStringList{movie});

        // Panes 1 and 2 on the left, 3 and 4 on the right.
        for (int n = 1; n <= 4; ++n)
            f.pane(n).setGeometry(((n - 1) / 2) * 200, ((n - 1) % 2) * 150, 200, 150);
        f.window.resize(400, 300);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QWindow* window = f.window.windowHandle();
        const QPoint from = f.pane(1).mapTo(&f.window, QPoint(100, 60));
        const QPoint to = f.pane(3).mapTo(&f.window, QPoint(100, 60));

        // The drag runs its own event loop from the press on; the pointer moves and lets go inside it.
        int step = 0;
        QTimer pointer;
        pointer.setInterval(50);
        connect(&pointer, &QTimer::timeout, this, [&] {
            ++step;
            if (step <= 10)
                QTest::mouseMove(window, from + (to - from) * step / 10);
            else if (step == 12)
                QTest::mouseRelease(window, Qt::LeftButton, Qt::ControlModifier, to);
            else if (step > 40)
                QTest::keyClick(window, Qt::Key_Escape); // the drag never ended: give up rather than hang
        });
        pointer.start();
        QTest::mousePress(window, Qt::LeftButton, Qt::ControlModifier, from);
        QTRY_VERIFY(step >= 12);
        pointer.stop();

        f.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay);
        QCOMPARE(f.pane(3).filePath(), movie);
        QCOMPARE(f.entryPaths(list, 3), QStringList{movie});
        QCOMPARE(f.pane(1).filePath(), movie);
        QCOMPARE(f.entryPaths(list, 1), QStringList{movie});
        QVERIFY(f.dialogs.alerts.isEmpty());
    }
};

QTEST_MAIN(TestPaneDrag)
#include "tst_panedrag.moc"
