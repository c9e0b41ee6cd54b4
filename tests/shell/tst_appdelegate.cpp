#include "AppFixture.h"

#include <QDir>
#include <QFileInfo>

using namespace tetrapan;
using tetrapan::test::AppFixture;
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

    // The quit request here is the main window's close box.
    void failedSaveAtQuitAsksTheUser_data()
    {
        QTest::addColumn<bool>("errorResolved");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("quits");
        QTest::addColumn<int>("alertsShown");
        QTest::newRow("quit anyway") << false << 1000 << true << 1;
        QTest::newRow("cancel") << false << 1001 << false << 1;
        QTest::newRow("error resolved") << true << 1000 << false << 0;
    }

    void failedSaveAtQuitAsksTheUser()
    {
        QFETCH(bool, errorResolved);
        QFETCH(int, answer);
        QFETCH(bool, quits);
        AppFixture f;
        f.nib->showWindows();
        f.playlist(QStringLiteral("A"));
        // a folder where the file should be makes every save fail
        QVERIFY(QDir().mkpath(f.home.libraryFile()));
        f.dialogs.errorAnswers = {errorResolved};
        f.dialogs.alertAnswers = {answer};
        QCOMPARE(f.window().close(), quits);
        QCOMPARE(f.window().isVisible(), !quits);
        QCOMPARE(f.nib->appDelegate().isTerminating(), quits);
        QCOMPARE(f.dialogs.errors.size(), 1);
        QTEST(int(f.dialogs.alerts.size()), "alertsShown");
        if (quits)
            return;
        // the next request, once the library can be written, quits and saves it
        QVERIFY(QDir().rmdir(f.home.libraryFile()));
        QVERIFY(f.window().close());
        QVERIFY(f.nib->appDelegate().isTerminating());
        QVERIFY(QFileInfo(f.home.libraryFile()).isFile());
    }

    void damagedLibraryIsNeverWritten()
    {
        test::TestHome home;
        const QByteArray damaged = "<?xml version=\"1.0\"?>\n<tetrapan-library version=\"1\">\n"
                                   "  <playlist id=\"1\" title=\"Kept\"/>\n  <playlist id=\"1\"/>\n";
        QVERIFY(test::writeAll(home.libraryFile(), damaged));
        AppFixture f({.home = &home});
        QCOMPARE(f.dialogs.errors.size(), 1);
        QCOMPARE(f.dialogs.errors.front().filePath, home.libraryFile());
        QVERIFY(f.dialogs.errors.front().line > 0);

        f.playlist(QStringLiteral("New"));
        f.nib->appDelegate().saveAction();
        QCOMPARE(f.dialogs.errors.size(), 2);
        f.scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay * 2);
        f.dialogs.alertAnswers = {1000};
        QCOMPARE(f.nib->appDelegate().applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QCOMPARE(test::readAll(home.libraryFile()), damaged);
        QVERIFY(!QFileInfo::exists(home.libraryFile() + QStringLiteral(".damaged")));
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
        QVERIFY(QDir().mkpath(f.home.libraryFile()));
        f.playlist(QStringLiteral("A"));
        f.scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay);
        f.playlist(QStringLiteral("B"));
        f.scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay);
        QCOMPARE(f.dialogs.errors.size(), 1);
        QVERIFY(f.ctx().hasChanges());
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
