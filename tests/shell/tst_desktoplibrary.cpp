#include "ProgramProcess.h"
#include "ScreenProbe.h"
#include "TestClips.h"
#include "TestHome.h"

#include "shell/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>

#include <sys/stat.h>

using namespace tetrapan;
using test::ProgramProcess;

// The real program and its library on disk: one program per library, and a library or settings file it
// cannot use kept aside rather than written over or waited on.
class TestDesktopLibrary : public QObject {
    Q_OBJECT

private:
    const QString Angles = QStringLiteral("Angles");
    test::TestClips clips;
    test::ScreenProbe screen;

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (make test runs the tests under xvfb-run)");
        clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
    }

    // One program per library: a second launch that cannot reach the first leaves the library alone; the
    // lock of a program that was killed is taken over, and so is one a power cut left empty.
    void aSecondProgramOnTheLibraryIsRefusedUntilTheFirstIsGone()
    {
        test::TestHome home;
        QVERIFY(test::writeLibrary(home, Angles, {clips.red}, false));
        ProgramProcess first(home);
        QVERIFY(test::startShowing(first, screen, Angles, QStringLiteral("red")));
        const QByteArray library = test::readAll(home.libraryFile());
        const QByteArray settings = test::readAll(home.settingsFile());

        ProgramProcess second(home);
        QVERIFY(second.start({clips.green}));
        const test::XServer::Window alert = second.window(QStringLiteral("Tetrapan"), ProgramProcess::WaitMs);
        QVERIFY(alert.id != XCB_WINDOW_NONE);
        second.x.key(alert, 0xff0d); // Return
        QCOMPARE(second.finished(), 1);
        QCOMPARE(test::readAll(home.libraryFile()), library);
        QCOMPARE(test::readAll(home.settingsFile()), settings);
        QCOMPARE(test::paneColours(screen).constFirst(), QStringLiteral("red"));
        const QString lockFile = QFileInfo(home.libraryFile()).dir().filePath(SingleInstance::lockFileName());
        QVERIFY2(second.errors().contains(QStringLiteral("process %1").arg(first.pid()).toUtf8()),
                 second.errors());

        // the lock of another computer sharing the home, which stopped while it ran: never taken over, but
        // named, with how to clear it
        first.kill();
        QVERIFY(test::writeAll(lockFile, "4242\nTetrapan\nanother-computer\n"));
        ProgramProcess blocked(home);
        QVERIFY(blocked.start());
        const test::XServer::Window lockAlert =
            blocked.window(QStringLiteral("Tetrapan"), ProgramProcess::WaitMs);
        QVERIFY(lockAlert.id != XCB_WINDOW_NONE);
        blocked.x.key(lockAlert, 0xff0d);
        QCOMPARE(blocked.finished(), 1);
        QVERIFY2(blocked.errors().contains("delete the lock file " + lockFile.toUtf8()), blocked.errors());
        QVERIFY(blocked.errors().contains("\"another-computer\""));
        // a lock file left empty by a power cut, from before the computer started: taken over
        QVERIFY(test::writeAll(lockFile, QByteArray()));
        QFile left(lockFile);
        QVERIFY(left.open(QIODevice::ReadWrite) &&
                left.setFileTime(QDateTime::fromSecsSinceEpoch(0), QFileDevice::FileModificationTime));
        left.close();
        ProgramProcess next(home);
        QVERIFY(test::startShowing(next, screen, Angles, QStringLiteral("red")));
        QVERIFY(next.quit());
    }

    // A title of many megabytes went whole into the window's title, past what the X server takes in one
    // request: the program ended at every start.
    void aPlaylistWithAHugeTitleOpens()
    {
        test::TestHome home;
        const QString title(20'000'000, QLatin1Char('t'));
        QVERIFY(test::writeLibrary(home, title, {clips.red}, false));
        ProgramProcess app(home);
        QVERIFY(app.start());
        QVERIFY(app.window(title.left(100)).id != XCB_WINDOW_NONE);
        QVERIFY(app.quit());
    }

    // A library cut short (a full disk, a crash elsewhere): Return starts a new library, the cut file kept
    // beside it, and Escape quits leaving it alone.
    void aDamagedLibraryIsKeptAsideOrLeftAlone_data()
    {
        QTest::addColumn<uint32_t>("key");
        QTest::newRow("Return: start a new library") << uint32_t(0xff0d);
        QTest::newRow("Escape: quit") << uint32_t(0xff1b);
    }

    void aDamagedLibraryIsKeptAsideOrLeftAlone()
    {
        QFETCH(uint32_t, key);
        test::TestHome home;
        QVERIFY(test::writeLibrary(home, Angles, {clips.red}, true));
        const QByteArray cut = test::readAll(home.libraryFile()).chopped(30);
        QVERIFY(test::writeAll(home.libraryFile(), cut));
        ProgramProcess app(home);
        QVERIFY(app.start());
        const test::XServer::Window alert = app.window(QStringLiteral("Tetrapan"));
        QVERIFY(alert.id != XCB_WINDOW_NONE);
        app.x.key(alert, key);
        const QDir folder = QFileInfo(home.libraryFile()).dir();
        if (key == 0xff1b) {
            QCOMPARE(app.finished(), 1);
            QCOMPARE(folder.entryList(QDir::Files), QStringList{QStringLiteral("Tetrapan.xml")});
            QCOMPARE(test::readAll(home.libraryFile()), cut);
            return;
        }
        // the new library is saved as any other: a new playlist, then the session ends
        const test::XServer::Window playlists = app.window(QStringLiteral("Playlist"));
        const QStringList kept = folder.entryList({QStringLiteral("Tetrapan.xml.damaged-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(test::readAll(folder.filePath(kept.front())), cut);
        app.x.focus(playlists);
        app.x.key(playlists, 'n', XCB_MOD_MASK_CONTROL);
        QTRY_VERIFY_WITH_TIMEOUT(app.x.find(QStringLiteral("New Playlist")).id != XCB_WINDOW_NONE,
                                 ProgramProcess::WaitMs);
        QVERIFY(app.quit());
        QVERIFY(test::readAll(home.libraryFile()).contains("New Playlist"));
    }

    // A FIFO in place of the library or the settings would hold the program before any window shows, waiting
    // for a writer: it is refused unopened, the user is told, and it is kept aside for the new file. One in
    // place of the lock is named and the program ends, leaving it as it is.
    void aFifoInPlaceOfAFileIsSetAside_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("library") << QStringLiteral("library");
        QTest::newRow("settings") << QStringLiteral("settings");
        QTest::newRow("lock") << QStringLiteral("lock");
    }

    void aFifoInPlaceOfAFileIsSetAside()
    {
        QFETCH(QString, which);
        const bool library = which == QLatin1String("library");
        test::TestHome home;
        QVERIFY(test::writeLibrary(home, Angles, {clips.red}, false));
        const QFileInfo file(
            library ? home.libraryFile()
            : which == QLatin1String("settings")
                ? home.settingsFile()
                : QFileInfo(home.libraryFile()).dir().filePath(QStringLiteral("Tetrapan.lock")));
        QFile::remove(file.filePath());
        QCOMPARE(::mkfifo(QFile::encodeName(file.filePath()).constData(), 0600), 0);
        ProgramProcess app(home);
        QVERIFY(app.start());
        // "Start a New Library", or the settings' or the lock's "OK"
        const test::XServer::Window alert = app.window(QStringLiteral("Tetrapan"));
        QVERIFY2(alert.id != XCB_WINDOW_NONE, "no window within the time: the program waits on the FIFO");
        app.x.key(alert, 0xff0d);
        if (which == QLatin1String("lock")) {
            QCOMPARE(app.finished(), 1);
            QVERIFY(app.errors().contains(QFile::encodeName(file.filePath()) + " cannot be used: it is not a "
                                                                               "regular file but a FIFO"));
            return;
        }
        QVERIFY(app.quit());
        const QStringList kept =
            file.dir().entryList({file.fileName() + QStringLiteral(".damaged-*")}, QDir::System);
        QCOMPARE(kept.size(), 1);
        struct stat keptFile {};
        QCOMPARE(::stat(QFile::encodeName(file.dir().filePath(kept.front())).constData(), &keptFile), 0);
        QVERIFY(S_ISFIFO(keptFile.st_mode));
        // the new settings are written at quit; the new library only once something is in it
        QCOMPARE(QFileInfo(file.filePath()).isFile(), !library);
    }
};

QTEST_MAIN(TestDesktopLibrary)
#include "tst_desktoplibrary.moc"
