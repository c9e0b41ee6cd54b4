// Snapshots on the fake engine: what is written and under which names, panes that answer late or never,
// and folders that cannot be written, which leave nothing behind.
#include "OpenAndWait.h"
#include "AppFixture.h"
#include "PaneFixture.h"

#include "panes/PaneSnapshot.h"
#include "panes/SnapshotNotice.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <QThread>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace tetrapan;
using namespace tetrapan::test;

namespace {

// The files' flushes, and those made on the window's thread, which must wait on no disk.
std::atomic<int> flushes{0};
std::atomic<int> flushesOnTheWindowsThread{0};
int countedFdatasync(int fd)
{
    ++flushes;
    if (QThread::currentThread() == qApp->thread())
        ++flushesOnTheWindowsThread;
    return ::fdatasync(fd);
}

// A disk that fails as a folder is synced, after the picture's file is in place.
std::atomic<bool> folderSyncFails{false};
int failingFsync(int fd)
{
    if (folderSyncFails) {
        errno = EIO;
        return -1;
    }
    return ::fsync(fd);
}

FileWriteCalls countedCalls()
{
    FileWriteCalls calls = FileWriteCalls::system();
    calls.fdatasync = &countedFdatasync;
    calls.fsync = &failingFsync;
    return calls;
}

struct SnapshotFixture : PaneFixture {
    QTemporaryDir pictures;
    PaneSnapshot snapshot{controller, scheduler, dialogs, nullptr, countedCalls()};
    QSignalSpy finished{&snapshot, &PaneSnapshot::snapshotFinished};

    SnapshotFixture()
    {
        window.resize(400, 300);
        snapshot.setShownArea(&window);
        snapshot.setTitle(QStringLiteral("Match 3"));
        snapshot.setFolder(pictures.filePath(QStringLiteral("Pictures/Tetrapan")));
    }
    // A movie with a picture, which it gives when asked, or only when the test says so.
    FakeMovie* loadPicture(int viewNo, bool answers = true)
    {
        FakeMovie* movie = load(viewNo);
        movie->frameImage = QImage(64, 48, QImage::Format_RGB32);
        movie->frameImage.fill(Qt::red);
        movie->answersFrameImage = answers;
        return movie;
    }
    QStringList written() const { return finished.last().first().toStringList(); }
};

} // namespace

class TestPaneSnapshot : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesAreSafeFileNames_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder brackets") << "[ Angles ]" << QString("[ Angles ]");
        QTest::newRow("slash") << "Home/Away" << QString("Home_Away");
        QTest::newRow("leading dots hide a file") << "..hidden.v2" << QString("__hidden.v2");
        QTest::newRow("control characters")
            << QString("tab\there\nand\x7f there") << QString("tab_here_and_ there");
        QTest::newRow("nothing") << " " << QString("Tetrapan");
        // at most 200 bytes, leaving room for the rest of a file name's 255; a character outside the basic
        // plane (two UTF-16 units, four UTF-8 bytes) is never cut in half
        const QString camera = QString::fromUcs4(U"\U0001F3A5");
        QTest::newRow("long") << QString(99, QChar(0xe9)) + camera.repeated(100) << QString(99, QChar(0xe9));
    }

    void namesAreSafeFileNames()
    {
        QFETCH(QString, title);
        QFETCH(QString, expected);
        const QDateTime time(QDate(2026, 12, 7), QTime(14, 3, 22));
        QCOMPARE(PaneSnapshot::fileStem(title, time), expected + QStringLiteral(" 2026-12-07 14-03-22"));
    }

    void savesTheWindowAndEachPaneWithAMovie()
    {
        SnapshotFixture f;
        f.loadPicture(1);
        f.loadPicture(3);
        const QDir folder(f.snapshot.folder());
        QVERIFY(!folder.exists());
        flushes = 0;
        flushesOnTheWindowsThread = 0;
        f.snapshot.takeSnapshot();
        // taken until the files, written on a thread of their own, are there
        QVERIFY(f.snapshot.isTaking());
        QTRY_COMPARE(f.finished.count(), 1);
        QVERIFY(!f.snapshot.isTaking());
        QCOMPARE(flushes.load(), 3);
        QCOMPARE(flushesOnTheWindowsThread.load(), 0);
        QVERIFY(f.dialogs.alerts.isEmpty());
        const QStringList paths = f.written();
        const QString stem = QFileInfo(paths.value(0)).completeBaseName();
        QCOMPARE(paths, (QStringList{folder.filePath(stem + ".png"), folder.filePath(stem + " pane 1.png"),
                                     folder.filePath(stem + " pane 3.png")}));
        QCOMPARE(f.movieOf(1)->commands.count(QStringLiteral("requestFrameImage")), qsizetype(1));

        // a snapshot within the same second keeps the files there
        const QDateTime now = QDateTime::currentDateTime();
        for (const QDateTime& t : {now, now.addSecs(1)}) {
            QFile earlier(folder.filePath(PaneSnapshot::fileStem(QStringLiteral("Match 3"), t) + ".png"));
            QVERIFY(earlier.open(QIODevice::WriteOnly));
        }
        f.snapshot.takeSnapshot();
        QTRY_COMPARE(f.finished.count(), 2);
        QVERIFY2(f.written()[0].endsWith(QStringLiteral(" (2).png")), qPrintable(f.written()[0]));
        QVERIFY(f.written()[1].endsWith(QStringLiteral(" (2) pane 1.png")));
        for (const QString& path : paths)
            QVERIFY(QFileInfo::exists(path));
    }

    void panesThatAnswerLateOrNever()
    {
        SnapshotFixture f;
        f.loadPicture(2, false);
        FakeMovie* silent = f.loadPicture(4, false);
        f.snapshot.takeSnapshot();
        QVERIFY(f.snapshot.isTaking());
        QCOMPARE(f.finished.count(), 0);
        f.snapshot.takeSnapshot(); // one at a time
        QCOMPARE(f.movieOf(2)->commands.count(QStringLiteral("requestFrameImage")), qsizetype(1));
        // another playlist chosen meanwhile: the pictures are still the first one's
        f.snapshot.setTitle(QStringLiteral("Match 4"));

        Q_EMIT f.movieOf(2)->frameImageReady(f.movieOf(2), f.movieOf(2)->frameImage);
        QCOMPARE(f.finished.count(), 0);
        f.scheduler.advance(PaneSnapshot::AnswerTimeout);
        QTRY_COMPARE(f.finished.count(), 1);
        QCOMPARE(f.written().size(), qsizetype(2)); // the window and pane 2
        QVERIFY(f.written()[1].endsWith(QStringLiteral(" pane 2.png")));
        QVERIFY2(QFileInfo(f.written()[1]).fileName().startsWith(QStringLiteral("Match 3 ")),
                 qPrintable(f.written()[1]));
        // the answer the wait gave up on comes during the next snapshot, and is not taken for its own
        f.snapshot.takeSnapshot();
        QImage late = silent->frameImage.copy();
        late.fill(Qt::blue);
        Q_EMIT silent->frameImageReady(silent, late);
        Q_EMIT f.movieOf(2)->frameImageReady(f.movieOf(2), f.movieOf(2)->frameImage);
        QCOMPARE(f.finished.count(), 1);
        Q_EMIT silent->frameImageReady(silent, silent->frameImage);
        QTRY_COMPARE(f.finished.count(), 2);
        QCOMPARE(f.written().size(), qsizetype(3));
        QCOMPARE(QImage(f.written()[2]).pixelColor(0, 0), QColor(Qt::red));
        // nor one after the wait with no snapshot taken
        f.snapshot.takeSnapshot();
        f.scheduler.advance(PaneSnapshot::AnswerTimeout);
        QTRY_COMPARE(f.finished.count(), 3);
        Q_EMIT silent->frameImageReady(silent, late);
        Q_EMIT f.movieOf(2)->frameImageReady(f.movieOf(2), late);
        QCOMPARE(f.finished.count(), 3);
        QCOMPARE(QDir(f.snapshot.folder()).entryList(QDir::Files).size(), qsizetype(6));
    }

    void whatCannotBeWrittenIsToldAndNothingStays_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<QString>("why"); // the system's words in the alert
        QTest::newRow("a file where the folder would go") << "file for folder" << "could not be made";
        QTest::newRow("a folder where pane 2's picture would go") << "folder for picture" << "Is a directory";
        // the file size limit makes the disk refuse the rest of the file, as a full one does
        QTest::newRow("a disk that fills up") << "size limit" << "File too large";
        QTest::newRow("a folder not written to the disk") << "folder sync"
                                                          << "Input/output error";
    }

    void whatCannotBeWrittenIsToldAndNothingStays()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, why);
        SnapshotFixture f;
        f.loadPicture(1);
        f.loadPicture(2, false);
        const QDateTime before = QDateTime::currentDateTime();
        f.snapshot.takeSnapshot();
        const QDateTime after = QDateTime::currentDateTime();
        QDir pictures(f.snapshot.folder());
        if (blocker == "file for folder") {
            QVERIFY(QFile(f.pictures.filePath(QStringLiteral("Pictures"))).open(QIODevice::WriteOnly));
        } else if (blocker == "folder for picture") {
            QVERIFY(pictures.mkpath(QStringLiteral(".")));
            for (QDateTime t = before; t <= after.addSecs(1); t = t.addSecs(1))
                QVERIFY(pictures.mkdir(PaneSnapshot::fileStem(QStringLiteral("Match 3"), t) + " pane 2.png"));
        }
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (blocker == "size limit") {
            rlimit small = old;
            small.rlim_cur = 40; // past a PNG's header, short of its pixels
            setrlimit(RLIMIT_FSIZE, &small);
        }
        folderSyncFails = blocker == "folder sync";
        Q_EMIT f.movieOf(2)->frameImageReady(f.movieOf(2), f.movieOf(2)->frameImage);
        QTRY_COMPARE(f.finished.count(), 1);
        folderSyncFails = false;
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(f.written().isEmpty());
        QCOMPARE(f.dialogs.alerts.size(), qsizetype(1));
        QCOMPARE(f.dialogs.alerts[0].messageText, QStringLiteral("Could not save the snapshot."));
        QVERIFY(f.dialogs.alerts[0].informativeText.contains(f.snapshot.folder()));
        QVERIFY2(f.dialogs.alerts[0].informativeText.contains(why),
                 qPrintable(f.dialogs.alerts[0].informativeText));
        // neither the window's picture nor pane 1's stays, nor a file half written
        QVERIFY(pictures.entryList(QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(QDir(f.pictures.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("Pictures")});
    }

    // In the program: the main window says where the pictures went, with a button that shows them, or why
    // there are none (no movie in any pane: no file); the window's picture is opaque (see tst_panesframes
    // for the black where the window draws nothing); the word goes by itself.
    void theMainWindowSaysWhereTheSnapshotWent()
    {
        AppFixture f;
        f.showWindow();
        SnapshotNotice& notice = f.nib->snapshotNotice();
        const PaneSnapshot& snapshot = f.nib->paneSnapshot();
        QSignalSpy finished(&snapshot, &PaneSnapshot::snapshotFinished);
        f.window().snapshotAction()->trigger();
        QCOMPARE(finished.count(), 1);
        QVERIFY(!QDir(snapshot.folder()).exists());
        QVERIFY(notice.isVisible());
        QCOMPARE(notice.text(), QLatin1String(PaneSnapshot::NoMovieText));
        QVERIFY(!notice.showFolderButton()->isVisible());

        QVERIFY(openInPane(f.pane(1), QStringLiteral("/clips/1.mp4")));
        f.window().snapshotAction()->trigger();
        QTRY_COMPARE(finished.count(), 2);
        const QStringList paths = finished.last().first().toStringList();
        QCOMPARE(paths.size(), qsizetype(1)); // the fake movie has no picture of its own
        QVERIFY2(notice.text().contains(QDir::toNativeSeparators(snapshot.folder())),
                 qPrintable(notice.text()));
        QTest::mouseClick(notice.showFolderButton(), Qt::LeftButton);
        QCOMPARE(f.fileViewer.shownFiles, paths);
        QVERIFY(!notice.isVisible());
        QVERIFY(!QImage(paths[0]).hasAlphaChannel());

        f.window().snapshotAction()->trigger();
        QTRY_VERIFY(notice.isVisible());
        f.scheduler.advance(SnapshotNotice::ShowDuration);
        QVERIFY(!notice.isVisible());
    }
};

QTEST_MAIN(TestPaneSnapshot)
#include "tst_panesnapshot.moc"
