#include "AppFixture.h"
#include "TestClips.h"

#include "layout/VideoExporter.h"

#include "platform/StoreCoordinator.h"
#include "platform/userDefaultsExtension.h"
#include "shell/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSysInfo>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace tetrapan;
using tetrapan::test::AppFixture;
using tetrapan::test::TestClips;
using namespace std::chrono_literals;

// The delegate: start, quit and saving.
class TestAppDelegate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void untouchedLibraryIsNotWritten()
    {
        AppFixture f;
        const QString folder = f.nib->appDelegate().applicationSupportFolder();
        QCOMPARE(folder, f.home.dataHome() + QStringLiteral("/Tetrapan"));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(f.nib->appDelegate().applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QVERIFY(!QFileInfo::exists(f.home.libraryFile()));
    }

    void quitWaitsForAnEditThatWillNotEnd()
    {
        AppFixture f;
        f.playlist(QStringLiteral("A"));
        f.ctx().addEditingCommitter([] { return false; });
        QCOMPARE(f.nib->appDelegate().applicationShouldTerminate(),
                 int(Tetrapan_AppDelegate::TerminateCancel));
        QVERIFY(!QFileInfo::exists(f.home.libraryFile()));
    }

    // Ctrl+Q reaches the program while the line editor has the keyboard: the typed title is what is saved.
    void aTitleBeingTypedIsSavedAtQuit()
    {
        AppFixture f;
        f.nib->showWindows();
        f.select(f.playlist(QStringLiteral("A")));
        f.tree().editSelectedRow();
        auto* editor = f.tree().findChild<QLineEdit*>();
        QVERIFY(editor && f.tree().isEditing());
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Renamed"));
        QCOMPARE(f.nib->appDelegate().applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QVERIFY(!f.tree().isEditing());
        QFile saved(f.home.libraryFile());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QVERIFY2(text.contains(">Renamed<") || text.contains("\"Renamed\""), text.constData());
    }

    // Quitting stops a running export, so the user is asked first ("Keep Exporting", "Stop and Quit").
    void quittingWhileExportingAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("reply");
        QTest::newRow("keep exporting") << 1000 << int(Tetrapan_AppDelegate::TerminateCancel);
        QTest::newRow("stop and quit") << 1001 << int(Tetrapan_AppDelegate::TerminateNow);
    }

    void quittingWhileExportingAsks()
    {
        QFETCH(int, answer);
        QFETCH(int, reply);
        const TestClips clips = TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
        AppFixture f;
        ExportJob job;
        job.panes[0].filePath = clips.barcode;
        job.panes[0].place = QRect(0, 0, 320, 240);
        job.size = QSize(320, 240);
        job.outputPath = QDir(f.home.path()).filePath(QStringLiteral("out.mp4"));
        VideoExporter& exporter = f.nib->videoExporter();
        QVERIFY(exporter.start(job));
        f.dialogs.alertAnswers = {answer};
        QCOMPARE(f.nib->appDelegate().applicationShouldTerminate(), reply);
        QCOMPARE(f.dialogs.alerts.size(), 1);
        QVERIFY(f.dialogs.alerts.first().messageText.contains(QLatin1String("exported")));
        QSignalSpy finished(&exporter, &VideoExporter::exportFinished);
        QVERIFY(finished.wait(30000));
        // stopped as the user chose, not in the teardown's short time: nothing is left
        QCOMPARE(QFileInfo::exists(job.outputPath), reply == Tetrapan_AppDelegate::TerminateCancel);
        QCOMPARE(
            QDir(f.home.path()).entryList({QStringLiteral("out.mp4*")}, QDir::Files | QDir::Hidden).size(),
            reply == Tetrapan_AppDelegate::TerminateCancel ? 1 : 0);
        if (reply == Tetrapan_AppDelegate::TerminateCancel) {
            QVERIFY(QFileInfo(job.outputPath).size() > 0);
            QCOMPARE(f.nib->appDelegate().applicationShouldTerminate(),
                     int(Tetrapan_AppDelegate::TerminateNow));
            QCOMPARE(f.dialogs.alerts.size(), 1);
        }
    }

    // The quit request here is the main window's close box; the alert's buttons are "Save Elsewhere…",
    // "Quit anyway" and "Cancel".
    void failedSaveAtQuitAsksTheUser_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("savedAs"); // the file panel's answer
        QTest::addColumn<bool>("quits");
        QTest::addColumn<bool>("quitAgainMeanwhile"); // another quit request arrives while the alert shows
        QTest::newRow("quit anyway") << 1001 << QString() << true << false;
        // one quit at a time: the second request neither starts a second decision nor stacks an alert
        QTest::newRow("quit anyway, asked to quit meanwhile") << 1001 << QString() << true << true;
        QTest::newRow("cancel, asked to quit meanwhile") << 1002 << QString() << false << true;
        QTest::newRow("cancel") << 1002 << QString() << false << false;
        QTest::newRow("saved elsewhere") << 1000 << QStringLiteral("elsewhere.xml") << true << false;
        QTest::newRow("file panel cancelled") << 1000 << QString() << false << false;
        QTest::newRow("elsewhere unwritable too") << 1000 << QStringLiteral("no/such.xml") << false << false;
    }

    void failedSaveAtQuitAsksTheUser()
    {
        QFETCH(int, answer);
        QFETCH(QString, savedAs);
        QFETCH(bool, quits);
        QFETCH(bool, quitAgainMeanwhile);
        AppFixture f;
        f.nib->showWindows();
        if (quitAgainMeanwhile)
            f.dialogs.whileAlertShown = [&f, asked = false]() mutable {
                if (!std::exchange(asked, true))
                    QVERIFY(!f.nib->appDelegate().terminate());
            };
        f.playlist(QStringLiteral("A"));
        // a folder where the file should be makes every save fail
        QVERIFY(QDir().mkpath(f.home.libraryFile()));
        f.dialogs.alertAnswers = {answer};
        const QString elsewhere = savedAs.isEmpty() ? QString() : QDir(f.home.path()).filePath(savedAs);
        f.dialogs.savePanelAnswers = {elsewhere};
        QCOMPARE(f.window().close(), quits);
        QCOMPARE(f.window().isVisible(), !quits);
        QCOMPARE(f.nib->appDelegate().isTerminating(), quits);
        // one question, which carries the reason; an error alert only for the other place failing too
        QCOMPARE(f.dialogs.alerts.size(), 1);
        QVERIFY2(
            f.dialogs.alerts.front().informativeText.startsWith(f.home.libraryFile() + QStringLiteral(": ")),
            qPrintable(f.dialogs.alerts.front().informativeText));
        const bool elsewhereFails = savedAs.startsWith(QLatin1String("no/"));
        QCOMPARE(f.dialogs.errors.size(), elsewhereFails ? 1 : 0);
        if (elsewhereFails)
            QCOMPARE(f.dialogs.errors.front().headline(), QStringLiteral("The library could not be saved."));
        if (answer == 1000 && quits) {
            // a whole library, as the next start would read it
            StoreCoordinator copy(LibrarySchema::model());
            StoreError error;
            QVERIFY2(copy.addXmlStore(elsewhere, error), qPrintable(error.text()));
            QCOMPARE(int(ObjectContext(copy).fetch(LibrarySchema::Playlist).size()), 1);
        }
        if (quits)
            return;
        // the next request, once the library can be written, quits and saves it
        QVERIFY(QDir().rmdir(f.home.libraryFile()));
        QVERIFY(f.window().close());
        QVERIFY(f.nib->appDelegate().isTerminating());
        QVERIFY(QFileInfo(f.home.libraryFile()).isFile());
    }

    // A library that cannot be read: the user starts a new one, the file kept beside it as it is, or quits
    // with it untouched. Nothing ever writes over it.
    void damagedLibraryIsNeverWritten_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("takeReadable"); // what was read whole before the damage, into the new library
        QTest::addColumn<bool>("diskFull");     // as the new library is first written
        QTest::newRow("start a new library with what was read") << 1000 << true << false;
        QTest::newRow("start a new library, empty") << 1000 << false << false;
        QTest::newRow("what was read, on a full disk") << 1000 << true << true;
        QTest::newRow("quit") << 1001 << true << false;
    }

    void damagedLibraryIsNeverWritten()
    {
        QFETCH(int, answer);
        QFETCH(bool, takeReadable);
        QFETCH(bool, diskFull);
        test::TestHome home;
        const QByteArray damaged =
            "<?xml version=\"1.0\"?>\n<tetrapan-library version=\"1\">\n"
            "  <playlist id=\"1\" uniqueId=\"00000001\" title=\"Kept\"/>\n  <playlist id=\"1\"/>\n";
        QVERIFY(test::writeAll(home.libraryFile(), damaged));
        // the file size limit makes the disk refuse the file, as a full one does
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = diskFull ? 40 : old.rlim_cur;
        setrlimit(RLIMIT_FSIZE, &small);
        AppFixture f({.home = &home, .alertAnswers = {answer}, .choiceAnswers = {takeReadable}});
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previousHandler);
        // the new library not written is told; what was read stays for the next save
        QCOMPARE(f.dialogs.errors.size(), diskFull ? 1 : 0);
        f.dialogs.errors.clear();
        QCOMPARE(f.dialogs.alerts.size(), 1);
        QCOMPARE(
            f.dialogs.alerts.front().choiceText,
            QStringLiteral("Take what was read whole before the damage into the new library: 1 playlist, "
                           "0 folders and 0 movie entries"));
        QVERIFY(
            f.dialogs.alerts.front().informativeText.startsWith(home.libraryFile() + ", line 4, column "));
        QVERIFY(f.dialogs.errors.isEmpty());
        const QDir folder = QFileInfo(home.libraryFile()).dir();
        Tetrapan_AppDelegate& delegate = f.nib->appDelegate();
        QCOMPARE(delegate.quitsAtStart(), answer == 1001);
        if (delegate.quitsAtStart()) {
            QCOMPARE(delegate.applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
            f.nib.reset();
            QCOMPARE(folder.entryList(QDir::Files), QStringList{QStringLiteral("Tetrapan.xml")});
            QCOMPARE(test::readAll(home.libraryFile()), damaged);
            return;
        }
        const QStringList kept = folder.entryList({QStringLiteral("Tetrapan.xml.damaged-2*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(test::readAll(folder.filePath(kept.front())), damaged);
        QCOMPARE(f.node(QStringLiteral("Kept")) != NoObject, takeReadable);
        f.playlist(QStringLiteral("New"));
        f.autosave();
        QVERIFY(!f.ctx().hasChanges());
        f.restart();
        QVERIFY(f.node(QStringLiteral("New")) != NoObject);
        QCOMPARE(f.node(QStringLiteral("Kept")) != NoObject, takeReadable);
        QCOMPARE(f.dialogs.alerts.size(), 1);
    }

    // A save cut off by a crash leaves its new file: the next start removes it, and keeps the rest.
    void unfinishedSavesAreRemoved()
    {
        test::TestHome home;
        const QDir folder = QFileInfo(home.libraryFile()).dir();
        const QStringList kept{"notes.new-1", "Tetrapan.xml", "Tetrapan.xml.damaged-2026-12-01 10-00-00"};
        for (const QString& name : kept + QStringList{"Tetrapan.xml.new-k3j9a", "Tetrapan.xml.new-0"})
            QVERIFY(test::writeAll(folder.filePath(name),
                                   "<?xml version=\"1.0\"?>\n<tetrapan-library version=\"1\">\n"
                                   "</tetrapan-library>\n"));
        AppFixture f({.home = &home});
        QCOMPARE(folder.entryList(QDir::Files), kept);
        QVERIFY(f.dialogs.alerts.isEmpty());
    }

    // Playlists sharing an identifier, or without one, would have one playlist's movies written into
    // another's entries: each is given a new one at load (its entries follow), and the user is told once.
    void collidingIdentifiersAreRepairedAtLoad()
    {
        test::TestHome home;
        QVERIFY(test::writeAll(home.settingsFile(), "{\"optUniqueNoForPlist\": 1}"));
        QVERIFY(
            test::writeAll(home.libraryFile(),
                           "<?xml version=\"1.0\"?>\n<tetrapan-library version=\"1\">\n"
                           "  <playlist id=\"1\" uniqueId=\"00000001\" title=\"A\"/>\n"
                           "  <playlist id=\"2\" uniqueId=\"00000001\" title=\"B\"/>\n"
                           "  <playlist id=\"3\" title=\"C\"/>\n"
                           "  <filelist id=\"4\" uniqueId=\"00000001\" viewNo=\"1\" filePath=\"/b.mp4\"/>\n"
                           "  <link playlist=\"2\" filelist=\"4\"/>\n</tetrapan-library>\n"));
        AppFixture f({.home = &home});
        QCOMPARE(f.dialogs.alerts.size(), 1);
        QCOMPARE(f.dialogs.alerts.front().informativeText.count(QStringLiteral("now has")), 2);
        const auto uniqueIdOf = [&](ObjectId id) {
            return f.ctx().value(id, LibrarySchema::UniqueId).toString();
        };
        QCOMPARE(QStringList({uniqueIdOf(1), uniqueIdOf(2), uniqueIdOf(3), uniqueIdOf(4)}),
                 QStringList({"00000001", "00000002", "00000003", "00000002"}));
        QVERIFY(!f.ctx().undoManager()->canUndo());
        f.autosave();
        f.restart();
        QCOMPARE(f.dialogs.alerts.size(), 1);
        QCOMPARE(f.ctx().value(f.playlist(QStringLiteral("D")), LibrarySchema::UniqueId).toString(),
                 "00000004");
    }

    // A settings file found damaged at start, or one that cannot be written: the user is told once, through
    // an alert.
    void settingsTroubleIsToldOnce_data()
    {
        QTest::addColumn<bool>("damagedAtStart"); // else: cannot be written (a folder in its place)
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reason");
        QTest::newRow("damaged at start") << true << "The settings could not be read."
                                          << ".damaged-";
        QTest::newRow("cannot be written") << false << "The settings could not be saved."
                                           << "Is a directory";
    }
    void settingsTroubleIsToldOnce()
    {
        QFETCH(bool, damagedAtStart);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        test::TestHome home;
        if (damagedAtStart)
            QVERIFY(test::writeAll(home.settingsFile(), "{\"optSkipTime\": "));
        AppFixture f({.home = &home});
        if (!damagedAtStart) {
            QFile::remove(home.settingsFile());
            QVERIFY(QDir().mkpath(home.settingsFile()));
            for (int n = 1; n <= 2; ++n)
                userDefaultsExtension::setDefaultIntValue(f.settings, n,
                                                          QStringLiteral("optUniqueNoForPlist"));
            QVERIFY(!f.settings.flush());
            QCoreApplication::processEvents();
        }
        QCOMPARE(f.dialogs.alerts.size(), 1);
        QCOMPARE(f.dialogs.alerts.front().messageText, message);
        QVERIFY2(f.dialogs.alerts.front().informativeText.contains(reason),
                 qPrintable(f.dialogs.alerts.front().informativeText));
        f.restart();
        QCoreApplication::processEvents();
        QCOMPARE(f.dialogs.alerts.size(), 1);
    }

    // (Saving at quit: failedSaveAtQuitAsksTheUser.)
    void changesReachTheDiskAfterAPause()
    {
        AppFixture f;
        f.playlist(QStringLiteral("A"));
        f.scheduler.advance(1500ms);
        f.playlist(QStringLiteral("B"));
        f.scheduler.advance(1500ms);
        QVERIFY2(!QFileInfo::exists(f.home.libraryFile()), "each change restarts the pause");
        f.scheduler.advance(500ms);
        f.ctx().finishSaving();
        QVERIFY(QFileInfo::exists(f.home.libraryFile()));
        QVERIFY(!f.ctx().hasChanges());

        // a crash now loses nothing: a new run on the same home sees both
        f.restart();
        QCOMPARE(f.level(), QStringLiteral("A1,B2")); // each in its place
        QVERIFY(!f.ctx().hasChanges());
    }

    void failingAutosaveSpeaksOnce()
    {
        AppFixture f;
        // where the panes stood is the program's note: it tries no save of its own, and at quit asks nothing
        f.playlist(QStringLiteral("A"));
        const ObjectId entry = f.entry(QStringLiteral("A"), 1);
        f.autosave();
        QVERIFY(QFile::remove(f.home.libraryFile()));
        QVERIFY(QDir().mkpath(f.home.libraryFile()));
        f.ctx().setValueUnrecorded(entry, LibrarySchema::Position, 5000);
        f.autosave();
        QCOMPARE(f.nib->appDelegate().applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QCOMPARE(f.dialogs.errors.size() + f.dialogs.alerts.size(), 0);

        f.playlist(QStringLiteral("A"));
        f.autosave();
        f.playlist(QStringLiteral("B"));
        f.autosave();
        QCOMPARE(f.dialogs.errors.size(), 1);
        QVERIFY(f.ctx().hasChanges());
    }

    // The computer renamed while the program runs changes nothing. The lock file deleted while it runs, then
    // taken by another program: from the deletion on, no save writes the library (the other program's changes
    // would be lost), the user is told why, and the other program's lock file outlives this program.
    void noSaveOnceTheLockIsNoLongerOurs()
    {
        AppFixture f;
        const QDBusConnection noBus = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
        auto instance =
            std::make_unique<SingleInstance>(f.nib->appDelegate().applicationSupportFolder(), noBus);
        QCOMPARE(instance->start({}), SingleInstance::Role::First);
        f.nib->appDelegate().setLibraryLockCheck([&instance] { return instance->lockLostReason(); });
        // the computer renamed while the program runs: the lock is still its own
        QList<QByteArray> held = test::readAll(instance->lockFilePath()).split('\n');
        held[2] = "renamed";
        QVERIFY(test::writeAll(instance->lockFilePath(), held.join('\n')));
        f.playlist(QStringLiteral("A"));
        f.autosave();
        QVERIFY(f.dialogs.errors.isEmpty());
        const QByteArray saved = test::readAll(f.home.libraryFile());
        QVERIFY(saved.contains("\"A\""));

        QVERIFY(QFile::remove(instance->lockFilePath()));
        f.playlist(QStringLiteral("B"));
        f.autosave();
        QCOMPARE(f.dialogs.errors.size(), 1);
        QVERIFY2(f.dialogs.errors.front().reason.contains(QStringLiteral("was deleted")),
                 qPrintable(f.dialogs.errors.front().reason));
        // another program on this computer takes the library
        const QByteArray otherLock = QByteArray::number(qint64(::getppid())) + "\nTetrapan\n" +
                                     QSysInfo::machineHostName().toUtf8() + "\n";
        QVERIFY(test::writeAll(instance->lockFilePath(), otherLock));
        f.nib->appDelegate().saveAction();
        QCOMPARE(f.dialogs.errors.size(), 2);
        QVERIFY2(f.dialogs.errors.back().reason.contains(QStringLiteral("now belongs to another Tetrapan")),
                 qPrintable(f.dialogs.errors.back().reason));
        QCOMPARE(test::readAll(f.home.libraryFile()), saved);
        instance.reset();
        const QDir folder = QFileInfo(f.home.libraryFile()).dir();
        QCOMPARE(test::readAll(folder.filePath(SingleInstance::lockFileName())), otherLock);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
