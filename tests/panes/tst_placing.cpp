// Placing files into panes within the selected playlist: the alerts that stop it, the entries it records,
// copying, removing and revealing a pane's file.
#include "LibraryPaneFixture.h"

#include <QAction>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

using namespace tetrapan;
using tetrapan::test::LibraryPaneFixture;

namespace {
QString clip(const char* name)
{
    return QStringLiteral("/clips/") + QLatin1String(name);
}
} // namespace

class TestPlacing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void createMovieFrameAlerts_data();
    void createMovieFrameAlerts();
    void placingRecordsAndRewritesThePanesEntry();
    void openMovieFileUsesTheChosenFile_data();
    void openMovieFileUsesTheChosenFile();
    void copyGoesToTheTargetPaneOnly();
    void removeMovieView_data();
    void removeMovieView();
    void showFileWithFinder_data();
    void showFileWithFinder();
};

void TestPlacing::createMovieFrameAlerts_data()
{
    QTest::addColumn<QString>("selection"); // "none", "folder" or "playlist"
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<bool>("opensPlaylistWindow");
    const QStringList offer{"Open Playlist", "Cancel"};
    QTest::newRow("no playlist, open playlist") << "none" << false << 1000 << "Playlist is not selected"
                                                << "Please create or select playlist." << offer << true;
    QTest::newRow("no playlist, cancel") << "none" << false << 1001 << "Playlist is not selected"
                                         << "Please create or select playlist." << offer << false;
    QTest::newRow("folder, open playlist") << "folder" << false << 1000 << "Folder is selected"
                                           << "Please select playlist." << offer << true;
    QTest::newRow("folder, cancel") << "folder" << false << 1001 << "Folder is selected"
                                    << "Please select playlist." << offer << false;
    QTest::newRow("unreadable file") << "playlist" << true << 1000 << "Can not create movie."
                                     << "Please check file." << QStringList{"Cancel"} << false;
}

void TestPlacing::createMovieFrameAlerts()
{
    QFETCH(QString, selection);
    QFETCH(bool, unreadable);
    QFETCH(int, answer);
    QFETCH(QString, message);
    QFETCH(QString, info);
    QFETCH(QStringList, buttons);
    QFETCH(bool, opensPlaylistWindow);
    LibraryPaneFixture f;
    const ObjectId node = f.playlist("node", selection == QLatin1String("folder"));
    if (selection != QLatin1String("none"))
        f.select(node);
    if (unreadable)
        f.engine.refusedPaths.insert(clip("new.mp4"));
    f.load(2, "before.mp4");
    QSignalSpy open(&f.controller, &MovController::openPlaylistWindowRequested);
    f.dialogs.alertAnswers = {answer};

    f.pane(2).createMovieFrame(clip("new.mp4"));
    QCOMPARE(f.dialogs.alerts.size(), 1);
    const AlertRequest& alert = f.dialogs.alerts.first();
    QCOMPARE(alert.iconName, QStringLiteral("icon_alert"));
    QCOMPARE(alert.messageText, message);
    QCOMPARE(alert.informativeText, info);
    QCOMPARE(alert.buttons, buttons);
    QCOMPARE(open.count(), opensPlaylistWindow ? 1 : 0);
    // Neither the pane nor the library changed.
    QCOMPARE(f.pane(2).filePath(), clip("before.mp4"));
    QVERIFY(f.context.fetch(LibrarySchema::Filelist).isEmpty());
}

void TestPlacing::placingRecordsAndRewritesThePanesEntry()
{
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    f.select(list);
    f.engine.durations.insert(clip("first.mp4"), MovieTime{75000, 600, 0});
    f.engine.titles.insert(clip("first.mp4"), QStringLiteral("First Title"));

    f.pane(2).createMovieFrame(clip("first.mp4"));
    QVERIFY(f.dialogs.alerts.isEmpty());
    QCOMPARE(f.pane(2).filePath(), clip("first.mp4"));
    QVERIFY(f.pane(2).isAvailable());
    QCOMPARE(f.entryPaths(list, 2), QStringList{clip("first.mp4")});
    const ObjectId entry = f.context.fetch(LibrarySchema::Filelist).front();
    QCOMPARE(f.context.value(entry, LibrarySchema::Title).toString(), QStringLiteral("First Title"));
    QCOMPARE(f.context.value(entry, LibrarySchema::PlayTime).toInt(), 125);

    f.pane(2).createMovieFrame(clip("second.mp4"));
    QCOMPARE(f.entryPaths(list, 2), QStringList{clip("second.mp4")});
    QCOMPARE(f.context.fetch(LibrarySchema::Filelist).size(), 1);
    QCOMPARE(f.context.fetch(LibrarySchema::Filelist).front(), entry);
}

void TestPlacing::openMovieFileUsesTheChosenFile_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cancelled") << QStringList() << QString();
    QTest::newRow("one file") << QStringList{clip("chosen.mp4")} << clip("chosen.mp4");
}

void TestPlacing::openMovieFileUsesTheChosenFile()
{
    QFETCH(QStringList, chosen);
    QFETCH(QString, expected);
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    f.select(list);
    f.dialogs.openPanelAnswers = {chosen};
    f.pane(4).openMovieFile();
    QCOMPARE(f.dialogs.openPanels.size(), 1);
    const OpenPanelRequest& panel = f.dialogs.openPanels.first();
    QVERIFY(panel.canChooseFiles && !panel.canChooseDirectories && !panel.allowsMultipleSelection);
    QVERIFY(!panel.treatsPackagesAsDirectories && panel.resolvesAliases && panel.directory.isEmpty());
    QCOMPARE(f.pane(4).filePath(), expected);
    QCOMPARE(f.entryPaths(list, 4), expected.isEmpty() ? QStringList() : QStringList{expected});
    QVERIFY(f.dialogs.alerts.isEmpty());
}

void TestPlacing::copyGoesToTheTargetPaneOnly()
{
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    f.select(list);
    f.pane(3).createMovieFrame(clip("three.mp4"));
    QAction frame1;
    frame1.setData(1);
    f.pane(3).copyMovieView(&frame1);
    QCOMPARE(f.pane(1).filePath(), clip("three.mp4"));
    QCOMPARE(f.entryPaths(list, 1), QStringList{clip("three.mp4")});
    QCOMPARE(f.pane(3).filePath(), clip("three.mp4"));
    QCOMPARE(f.entryPaths(list, 3), QStringList{clip("three.mp4")});
    QVERIFY(f.movieOf(1) != f.movieOf(3));
}

void TestPlacing::removeMovieView_data()
{
    QTest::addColumn<bool>("selected");
    QTest::newRow("playlist selected") << true;
    QTest::newRow("nothing selected") << false;
}

void TestPlacing::removeMovieView()
{
    QFETCH(bool, selected);
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    f.entry(list, 2, clip("two.mp4"));
    f.entry(list, 3, clip("three.mp4"));
    f.show(list);
    if (!selected)
        f.select(NoObject);
    f.pane(2).removeMovieView();
    QVERIFY(!f.pane(2).isAvailable());
    QCOMPARE(f.pane(2).filePath(), QString());
    QCOMPARE(f.entryPaths(list, 2), selected ? QStringList() : QStringList{clip("two.mp4")});
    QCOMPARE(f.entryPaths(list, 3), QStringList{clip("three.mp4")});
}

void TestPlacing::showFileWithFinder_data()
{
    QTest::addColumn<QString>("file"); // "existing", "missing" or "none"
    QTest::newRow("existing file") << "existing";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("empty pane") << "none";
}

void TestPlacing::showFileWithFinder()
{
    QFETCH(QString, file);
    LibraryPaneFixture f;
    QTemporaryFile existing;
    QVERIFY(existing.open());
    if (file == QLatin1String("existing"))
        f.pane(1).createMovieView(existing.fileName());
    else if (file == QLatin1String("missing"))
        f.load(1, "missing.mp4");
    f.pane(1).showFileWithFinder();
    if (file == QLatin1String("existing")) {
        QCOMPARE(f.fileViewer.shownFiles, QStringList{existing.fileName()});
        QVERIFY(f.dialogs.alerts.isEmpty());
    } else {
        QVERIFY(f.fileViewer.shownFiles.isEmpty());
        QCOMPARE(f.dialogs.alerts.size(), 1);
        QCOMPARE(f.dialogs.alerts.first().messageText, QStringLiteral("File is not found."));
        QCOMPARE(f.dialogs.alerts.first().buttons, QStringList{"Cancel"});
    }
}

QTEST_MAIN(TestPlacing)
#include "tst_placing.moc"
