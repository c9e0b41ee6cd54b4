#include "LibraryFixture.h"
#include "library/LibraryRules.h"
#include "platform/userDefaultsExtension.h"

#include <QTest>

using namespace tetrapan;
using tetrapan::test::LibraryFixture;

class TestLibraryRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstNodesOfAnEmptyLibraryShareOneCounter()
    {
        LibraryFixture f;
        const ObjectId playlist = LibraryRules::createNode(f.context, f.settings, false);
        const ObjectId folder = LibraryRules::createNode(f.context, f.settings, true);
        QCOMPARE(f.text(playlist, "uniqueId"), QStringLiteral("00000001"));
        QCOMPARE(f.text(folder, "uniqueId"), QStringLiteral("00000002"));
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForPlist"), 2);

        QCOMPARE(f.text(playlist, "title"), QStringLiteral("New Playlist"));
        QCOMPARE(f.text(folder, "title"), QStringLiteral("New Folder"));
        for (ObjectId id : {playlist, folder}) {
            QCOMPARE(f.context.value(id, "isFolder").toBool(), id == folder);
            QCOMPARE(f.context.value(id, "isExpand").toBool(), false);
            QCOMPARE(f.context.value(id, "index").toInt(), 0);
            QVERIFY(f.context.value(id, "frameSet").isValid());
            QCOMPARE(f.text(id, "frameSet"), QString());
        }
    }

    // After the settings are lost the numbers continue above the largest one the library holds.
    void counterRebuiltFromTheLibrary_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("counter");
        QTest::addColumn<QString>("next");
        QTest::newRow("empty library") << QStringList() << 0 << "00000001";
        QTest::newRow("1 to 7, unordered")
            << QStringList{"00000003", "00000007", "00000001", "00000002", "00000006", "00000004", "00000005"}
            << 0 << "00000008";
        QTest::newRow("counter below 1") << QStringList{"00000004"} << -3 << "00000005";
        QTest::newRow("counter wins when set") << QStringList{"00000004"} << 20 << "00000021";
        QTest::newRow("eight to nine digits") << QStringList{"99999998"} << 0 << "99999999";
        QTest::newRow("nine digits outrank eight")
            << QStringList{"99999999", "100000000"} << 0 << "100000001";
    }
    void counterRebuiltFromTheLibrary()
    {
        QFETCH(QStringList, stored);
        QFETCH(int, counter);
        QFETCH(QString, next);
        LibraryFixture f;
        for (const QString& id : stored)
            f.node(id);
        if (counter != 0)
            userDefaultsExtension::setDefaultIntValue(f.settings, counter, "optUniqueNoForPlist");
        const ObjectId created = LibraryRules::createNode(f.context, f.settings, false);
        QCOMPARE(f.text(created, "uniqueId"), next);
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForPlist"), next.toInt());
    }

    void maxIntValueReadsLeadingNumbers()
    {
        LibraryFixture f;
        QCOMPARE(LibraryRules::maxIntValue(f.context, "filelist", "itemId"), 0);
        f.entry("00000001", 1, "00000004");
        f.entry("00000001", 2, "12abc");
        f.entry("00000001", 3);
        QCOMPARE(LibraryRules::maxIntValue(f.context, "filelist", "itemId"), 12);
        QCOMPARE(LibraryRules::maxIntValue(f.context, "filelist", "viewNo"), 3);
        QCOMPARE(LibraryRules::maxIntValue(f.context, "nothing", "itemId"), 0);
    }

    void newNodeGoesBesideOrIntoTheSelection()
    {
        LibraryFixture f;
        const ObjectId folder = f.node("00000001", true);
        const ObjectId inner = f.node("00000002", false, folder);
        const ObjectId top = f.node("00000003");
        QCOMPARE(LibraryRules::parentForNewNode(f.context, NoObject), NoObject);
        QCOMPARE(LibraryRules::parentForNewNode(f.context, folder), folder);
        QCOMPARE(LibraryRules::parentForNewNode(f.context, inner), folder);
        QCOMPARE(LibraryRules::parentForNewNode(f.context, top), NoObject);
    }

    void newNodeGoesAfterItsSiblings()
    {
        LibraryFixture f;
        const ObjectId folder = f.node("00000001", true, NoObject, 0);
        QCOMPARE(LibraryRules::nextChildIndex(f.context, folder), 1);
        f.node("00000002", false, folder, 0);
        f.node("00000003", false, folder, 2);
        f.node("00000004", false, NoObject, 5);
        QCOMPARE(LibraryRules::nextChildIndex(f.context, folder), 3);
        QCOMPARE(LibraryRules::nextChildIndex(f.context, NoObject), 6);

        const ObjectId added = LibraryRules::createNode(f.context, f.settings, false);
        LibraryRules::placeNode(f.context, added, folder);
        QCOMPARE(f.context.relatedObject(added, "parent"), folder);
        QCOMPARE(f.context.value(added, "index").toInt(), 3);
    }

    void deletingAFolderTakesEverythingBelow()
    {
        LibraryFixture f;
        const ObjectId folder = f.node("00000001", true);
        f.node("00000002", false, folder);
        const ObjectId sub = f.node("00000003", true, folder);
        f.node("00000004", false, sub);
        f.node("00000005", false, sub);
        const ObjectId other = f.node("00000006");
        for (const char* id : {"00000002", "00000004", "00000005", "00000006"}) {
            f.entry(id, 1);
            f.entry(id, 2);
        }
        f.context.processPendingChanges();
        LibraryRules::removeNodeTree(f.context, folder);
        QCOMPARE(f.context.fetch("playlist"), QList<ObjectId>{other});
        const QList<ObjectId> left = f.context.fetch("filelist");
        QCOMPARE(left.size(), 2);
        for (ObjectId e : left)
            QCOMPARE(f.text(e, "uniqueId"), QStringLiteral("00000006"));

        // one user action, one undo step: everything comes back
        f.context.processPendingChanges();
        f.context.undoManager()->undo();
        QCOMPARE(f.context.fetch("playlist").size(), 6);
        QCOMPARE(f.context.fetch("filelist").size(), 8);
        QCOMPARE(f.context.relatedObject(sub, "parent"), folder);
    }

    void removingEntriesOfNoPlaylistRemovesNothing()
    {
        LibraryFixture f;
        f.entry("", 1);
        f.entry("00000001", 1);
        LibraryRules::removeEntriesOfPlaylist(f.context, "");
        QCOMPARE(f.context.fetch("filelist").size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLibraryRules)
#include "tst_libraryrules.moc"
