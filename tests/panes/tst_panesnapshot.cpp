// Snapshots on the fake engine: what is written and under which names, panes that answer late or never,
// and folders that cannot be written, which leave nothing behind.
#include "PaneFixture.h"

#include "panes/PaneSnapshot.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;
using namespace tetrapan::test;

namespace {

struct SnapshotFixture : PaneFixture {
    QTemporaryDir pictures;
    PaneSnapshot snapshot{controller, scheduler, dialogs};
    QSignalSpy finished{&snapshot, &PaneSnapshot::snapshotFinished};

    SnapshotFixture()
    {
        window.resize(400, 300);
        snapshot.setShownArea(&window);
        snapshot.setTitle(QStringLiteral("Match 3"));
        snapshot.setFolder(pictures.filePath(QStringLiteral("Pictures/Tetrapan")));
    }
    // A movie whose picture is size, filled with colour.
    FakeMovie* loadPicture(int viewNo, QSize size, QColor colour)
    {
        FakeMovie* movie = load(viewNo);
        movie->frameImage = QImage(size, QImage::Format_RGB32);
        movie->frameImage.fill(colour);
        return movie;
    }
    QStringList written() const
    {
        return finished.isEmpty() ? QStringList() : finished.last().first().toStringList();
    }
    QStringList filesInFolder() const { return QDir(snapshot.folder()).entryList(QDir::Files); }
};

QImage readPng(const QString& path)
{
    QImageReader reader(path);
    return reader.format() == "png" ? reader.read() : QImage();
}

} // namespace

class TestPaneSnapshot : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesAreSafeFileNames_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Match 3"
                               << "Match 3";
        QTest::newRow("folder brackets") << "[ Angles ]"
                                         << "[ Angles ]";
        QTest::newRow("slash") << "Home/Away"
                               << "Home_Away";
        QTest::newRow("leading dots hide a file") << "..hidden.v2"
                                                  << "__hidden.v2";
        QTest::newRow("control characters") << QString("tab\there\nand\x7f there") << "tab_here_and_ there";
        QTest::newRow("nothing") << " "
                                 << "Tetrapan";
    }

    void namesAreSafeFileNames()
    {
        QFETCH(QString, title);
        QFETCH(QString, expected);
        const QDateTime time(QDate(2026, 12, 7), QTime(14, 3, 22));
        QCOMPARE(PaneSnapshot::fileStem(title, time), expected + QStringLiteral(" 2026-12-07 14-03-22"));
    }

    void longTitlesLeaveRoomForTheRestOfTheName()
    {
        const QDateTime time(QDate(2026, 12, 7), QTime(14, 3, 22));
        // a character outside the basic plane is two UTF-16 units and four UTF-8 bytes: never cut in half
        const QString title = QString(300, QChar(0xe9)) + QString::fromUcs4(U"\U0001F3A5").repeated(100);
        const QString stem = PaneSnapshot::fileStem(title, time);
        QVERIFY((stem + QStringLiteral(" pane 4 (99).png")).toUtf8().size() <= 255);
        QVERIFY(stem.isValidUtf16());
        QVERIFY(stem.startsWith(QString(50, QChar(0xe9))));
    }

    void savesTheWindowAndEachPaneWithAMovie()
    {
        SnapshotFixture f;
        f.loadPicture(1, QSize(64, 48), Qt::red);
        f.loadPicture(3, QSize(1280, 720), Qt::blue);
        QVERIFY(!QDir(f.snapshot.folder()).exists());
        f.snapshot.takeSnapshot();
        QVERIFY(!f.snapshot.isTaking());
        QVERIFY(f.dialogs.alerts.isEmpty());
        const QStringList paths = f.written();
        QCOMPARE(paths.size(), qsizetype(3));
        const QString stem = QFileInfo(paths[0]).completeBaseName();
        QVERIFY(stem.startsWith(QStringLiteral("Match 3 20")));
        QCOMPARE(paths[1], QDir(f.snapshot.folder()).filePath(stem + QStringLiteral(" pane 1.png")));
        QCOMPARE(paths[2], QDir(f.snapshot.folder()).filePath(stem + QStringLiteral(" pane 3.png")));
        QCOMPARE(readPng(paths[0]).size(), QSize(400, 300));
        QCOMPARE(readPng(paths[1]).size(), QSize(64, 48));
        const QImage pane3 = readPng(paths[2]);
        QCOMPARE(pane3.size(), QSize(1280, 720));
        QCOMPARE(pane3.pixelColor(5, 5), QColor(Qt::blue));
        QCOMPARE(f.movieOf(1)->commands.count(QStringLiteral("requestFrameImage")), qsizetype(1));

        // a snapshot within the same second keeps the files there
        QDir folder(f.snapshot.folder());
        const QDateTime now = QDateTime::currentDateTime();
        for (const QDateTime& t : {now, now.addSecs(1)}) {
            QFile earlier(folder.filePath(PaneSnapshot::fileStem(QStringLiteral("Match 3"), t) + ".png"));
            QVERIFY(earlier.open(QIODevice::WriteOnly));
        }
        f.snapshot.takeSnapshot();
        QVERIFY2(f.written()[0].endsWith(QStringLiteral(" (2).png")), qPrintable(f.written()[0]));
        QVERIFY(f.written()[1].endsWith(QStringLiteral(" (2) pane 1.png")));
        for (const QString& path : paths)
            QVERIFY(QFileInfo::exists(path));
    }

    void panesThatAnswerLateOrNever()
    {
        SnapshotFixture f;
        f.loadPicture(2, QSize(64, 48), Qt::red)->answersFrameImage = false;
        FakeMovie* silent = f.loadPicture(4, QSize(64, 48), Qt::green);
        silent->answersFrameImage = false;
        f.snapshot.takeSnapshot();
        QVERIFY(f.snapshot.isTaking());
        QCOMPARE(f.finished.count(), 0);
        f.snapshot.takeSnapshot(); // one at a time
        QCOMPARE(f.movieOf(2)->commands.count(QStringLiteral("requestFrameImage")), qsizetype(1));

        Q_EMIT f.movieOf(2)->frameImageReady(f.movieOf(2), f.movieOf(2)->frameImage);
        QCOMPARE(f.finished.count(), 0);
        f.scheduler.advance(PaneSnapshot::AnswerTimeout);
        QCOMPARE(f.finished.count(), 1);
        QCOMPARE(f.written().size(), qsizetype(2)); // the window and pane 2
        QVERIFY(f.written()[1].endsWith(QStringLiteral(" pane 2.png")));
        // an answer after the wait is not taken for the next snapshot's
        Q_EMIT silent->frameImageReady(silent, silent->frameImage);
        QCOMPARE(f.finished.count(), 1);
        QCOMPARE(f.filesInFolder().size(), qsizetype(2));
    }

    void aFolderThatCannotBeMadeIsToldAndNothingIsWritten()
    {
        SnapshotFixture f;
        f.loadPicture(1, QSize(64, 48), Qt::red);
        QFile blocker(f.pictures.filePath(QStringLiteral("Pictures")));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder would go
        blocker.close();
        f.snapshot.takeSnapshot();
        QCOMPARE(f.finished.count(), 1);
        QVERIFY(f.written().isEmpty());
        QCOMPARE(f.dialogs.alerts.size(), qsizetype(1));
        QCOMPARE(f.dialogs.alerts[0].messageText, QStringLiteral("Could not save the snapshot."));
        QVERIFY(f.dialogs.alerts[0].informativeText.contains(f.snapshot.folder()));
        QCOMPARE(QDir(f.pictures.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("Pictures")});
    }

    void aFileThatCannotBeWrittenTakesTheOthersBack()
    {
        SnapshotFixture f;
        f.loadPicture(1, QSize(64, 48), Qt::red);
        f.loadPicture(2, QSize(64, 48), Qt::green)->answersFrameImage = false;
        const QDateTime before = QDateTime::currentDateTime();
        f.snapshot.takeSnapshot();
        const QDateTime after = QDateTime::currentDateTime();
        // pane 2's file cannot be written: a folder stands where it would go
        QDir folder(f.snapshot.folder());
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        for (QDateTime t = before; t <= after.addSecs(1); t = t.addSecs(1))
            QVERIFY(folder.mkdir(PaneSnapshot::fileStem(QStringLiteral("Match 3"), t) + " pane 2.png"));
        Q_EMIT f.movieOf(2)->frameImageReady(f.movieOf(2), f.movieOf(2)->frameImage);
        QCOMPARE(f.finished.count(), 1);
        QVERIFY(f.written().isEmpty());
        QCOMPARE(f.dialogs.alerts.size(), qsizetype(1));
        QVERIFY(f.filesInFolder().isEmpty()); // neither the window's picture nor pane 1's stays
        QVERIFY(folder.entryList(QDir::Hidden | QDir::Files).isEmpty());
    }
};

QTEST_MAIN(TestPaneSnapshot)
#include "tst_panesnapshot.moc"
