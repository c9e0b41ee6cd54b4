#include "FakeDialogPresenter.h"
#include "FakeScheduler.h"
#include "TestHome.h"

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/StoreCoordinator.h"
#include "platform/userDefaultsExtension.h"
#include "shell/LastStateKeeper.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace tetrapan;
using namespace std::chrono_literals;

namespace {

struct CountingKeeper final : LastStateKeeper {
    int calls = 0;
    void storeLastState() override { ++calls; }
};

// One delegate with everything it talks to, in a home of its own.
struct Harness {
    test::TestHome home;
    SettingsDomain settings{home.settingsFile()};
    test::FakeScheduler scheduler;
    test::FakeDialogPresenter dialogs;
    CountingKeeper keeper;
    std::unique_ptr<Tetrapan_AppDelegate> delegate;

    Harness()
    {
        Tetrapan_AppDelegate::setupDefaults(settings);
        restart();
    }

    // a new run of the program on the same home
    void restart()
    {
        delegate.reset();
        delegate = std::make_unique<Tetrapan_AppDelegate>(settings, scheduler, dialogs);
        delegate->olvPlaylist = &keeper;
    }

    ObjectId addPlaylist(const QString& title)
    {
        ObjectContext* ctx = delegate->managedObjectContext();
        const ObjectId id = ctx->insertNewObject(LibrarySchema::Playlist);
        ctx->setValue(id, QStringLiteral("title"), title);
        ctx->processPendingChanges();
        return id;
    }

    QStringList titles()
    {
        ObjectContext* ctx = delegate->managedObjectContext();
        QStringList result;
        for (ObjectId id : ctx->fetch(LibrarySchema::Playlist))
            result << ctx->value(id, QStringLiteral("title")).toString();
        return result;
    }
};

} // namespace

class TestAppDelegate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultsAreRegistered()
    {
        Harness h;
        namespace ude = userDefaultsExtension;
        QCOMPARE(ude::defaultFloatValue(h.settings, QStringLiteral("optSkipTime")), 10.0f);
        QCOMPARE(ude::defaultFloatValue(h.settings, QStringLiteral("optPlayVolume")), 0.0f);
        QCOMPARE(ude::defaultIntValue(h.settings, QStringLiteral("optFontSizeList")), 12);
        for (const char* key : {"optLoadFrameSet", "optIsPlaylist", "optIsController", "optDividerEnable"})
            QVERIFY2(ude::defaultBoolValue(h.settings, QString::fromLatin1(key)), key);
        QVERIFY(!ude::defaultKeyValue(h.settings, QStringLiteral("optUniqueNoForPlist")));
        QVERIFY(!QFileInfo::exists(h.home.settingsFile()));
    }

    void libraryFolderAppearsOnFirstUseOnly()
    {
        Harness h;
        const QString folder = h.delegate->applicationSupportFolder();
        QCOMPARE(folder, h.home.dataHome() + QStringLiteral("/Tetrapan"));
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QVERIFY2(!QFileInfo::exists(folder), "quitting must not open the library");
        QCOMPARE(h.keeper.calls, 1);

        QVERIFY(h.delegate->managedObjectContext());
        QVERIFY(QFileInfo(folder).isDir());
        // an untouched library is not written
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QVERIFY(!QFileInfo::exists(h.home.libraryFile()));
        QCOMPARE(h.keeper.calls, 2);
    }

    void quitSavesAndTheNextRunReadsIt()
    {
        Harness h;
        h.addPlaylist(QStringLiteral("Cameras"));
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QVERIFY(h.dialogs.errors.isEmpty());
        h.restart();
        QCOMPARE(h.titles(), QStringList{QStringLiteral("Cameras")});
        QVERIFY(!h.delegate->managedObjectContext()->hasChanges());
    }

    void quitWaitsForAnEditThatWillNotEnd()
    {
        Harness h;
        h.addPlaylist(QStringLiteral("A"));
        h.delegate->managedObjectContext()->addEditingCommitter([] { return false; });
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateCancel));
        QVERIFY(!QFileInfo::exists(h.home.libraryFile()));
    }

    void failedSaveAtQuitAsksTheUser_data()
    {
        QTest::addColumn<bool>("errorResolved");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("alertsShown");
        QTest::newRow("quit anyway") << false << 1000 << int(Tetrapan_AppDelegate::TerminateNow) << 1;
        QTest::newRow("cancel") << false << 1001 << int(Tetrapan_AppDelegate::TerminateCancel) << 1;
        QTest::newRow("error resolved") << true << 1000 << int(Tetrapan_AppDelegate::TerminateCancel) << 0;
    }

    void failedSaveAtQuitAsksTheUser()
    {
        QFETCH(bool, errorResolved);
        QFETCH(int, answer);
        QFETCH(int, expected);
        QFETCH(int, alertsShown);
        Harness h;
        h.addPlaylist(QStringLiteral("A"));
        // a folder where the file should be makes every save fail
        QVERIFY(QDir().mkpath(h.home.libraryFile()));
        h.dialogs.errorAnswers = {errorResolved};
        h.dialogs.alertAnswers = {answer};
        QCOMPARE(h.delegate->applicationShouldTerminate(), expected);
        QCOMPARE(h.dialogs.errors.size(), 1);
        QCOMPARE(h.dialogs.alerts.size(), alertsShown);
        if (alertsShown) {
            const AlertRequest& alert = h.dialogs.alerts.front();
            QCOMPARE(alert.messageText, QStringLiteral("Could not save changes while quitting. Quit anyway?"));
            QCOMPARE(alert.buttons, (QStringList{QStringLiteral("Quit anyway"), QStringLiteral("Cancel")}));
        }
    }

    void damagedLibraryIsNeverWritten()
    {
        Harness h;
        const QByteArray damaged = "<?xml version=\"1.0\"?>\n<tetrapan-library version=\"1\">\n"
                                   "  <playlist id=\"1\" title=\"Kept\"/>\n  <playlist id=\"1\"/>\n";
        QVERIFY(test::writeAll(h.home.libraryFile(), damaged));
        ObjectContext* ctx = h.delegate->managedObjectContext();
        QVERIFY(ctx);
        QCOMPARE(h.dialogs.errors.size(), 1);
        QCOMPARE(h.dialogs.errors.front().filePath, h.home.libraryFile());
        QVERIFY(h.dialogs.errors.front().line > 0);

        h.addPlaylist(QStringLiteral("New"));
        h.delegate->saveAction();
        QCOMPARE(h.dialogs.errors.size(), 2);
        h.scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay * 2);
        h.dialogs.alertAnswers = {1000};
        QCOMPARE(h.delegate->applicationShouldTerminate(), int(Tetrapan_AppDelegate::TerminateNow));
        QCOMPARE(test::readAll(h.home.libraryFile()), damaged);
        QVERIFY(!QFileInfo::exists(h.home.libraryFile() + QStringLiteral(".damaged")));
    }

    void changesReachTheDiskAfterAPause()
    {
        Harness h;
        h.addPlaylist(QStringLiteral("A"));
        h.scheduler.advance(1500ms);
        h.addPlaylist(QStringLiteral("B"));
        h.scheduler.advance(1500ms);
        QVERIFY2(!QFileInfo::exists(h.home.libraryFile()), "each change restarts the pause");
        h.scheduler.advance(500ms);
        QVERIFY(QFileInfo::exists(h.home.libraryFile()));
        QVERIFY(!h.delegate->managedObjectContext()->hasChanges());

        // a crash now loses nothing: a new run on the same home sees both
        h.restart();
        QCOMPARE(h.titles(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    }

    void failingAutosaveSpeaksOnce()
    {
        Harness h;
        h.delegate->managedObjectContext();
        QVERIFY(QDir().mkpath(h.home.libraryFile()));
        h.addPlaylist(QStringLiteral("A"));
        h.scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay);
        h.addPlaylist(QStringLiteral("B"));
        h.scheduler.advance(Tetrapan_AppDelegate::AutosaveDelay);
        QCOMPARE(h.dialogs.errors.size(), 1);
        QVERIFY(h.delegate->managedObjectContext()->hasChanges());
    }

    void undoManagerIsTheLibrarys()
    {
        Harness h;
        QUndoStack* stack = h.delegate->windowWillReturnUndoManager(nullptr);
        QCOMPARE(stack, h.delegate->managedObjectContext()->undoManager());
        h.addPlaylist(QStringLiteral("A"));
        stack->undo();
        QVERIFY(h.titles().isEmpty());
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
