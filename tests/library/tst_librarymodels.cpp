#include "LibraryFixture.h"
#include "library/FilelistArrayController.h"
#include "library/LibraryRules.h"
#include "library/PlaylistTreeController.h"
#include "library/playlistTitles.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace tetrapan;
using tetrapan::test::LibraryFixture;

namespace {

// The tree as a view walking the model sees it: "title(child,child),title".
QString shape(const QAbstractItemModel& model, const QModelIndex& parent = {})
{
    QStringList parts;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        QString part = index.data().toString();
        if (model.rowCount(index) > 0)
            part += QLatin1Char('(') + shape(model, index) + QLatin1Char(')');
        parts << part;
    }
    return parts.join(QLatin1Char(','));
}

// The file list as the table shows it, by the path of each row (or of each selected row).
QString rows(const FilelistArrayController& model, bool selected = false)
{
    QStringList out;
    const QList<int> indexes = model.selectionIndexes();
    for (int row = 0; row < model.rowCount(); ++row)
        if (!selected || indexes.contains(row))
            out << model.index(row, model.columnOfKey("filePath")).data().toString();
    return out.join(QLatin1Char(','));
}

} // namespace

class TestLibraryModels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileListFollowsTheLibrary()
    {
        LibraryFixture f;
        FilelistArrayController files(f.context);
        QAbstractItemModelTester tester(&files, QAbstractItemModelTester::FailureReportingMode::QtTest);
        files.setFilterPredicate(Predicate::equals("uniqueId", "00000001"));
        f.entry("00000002", 1, "other");
        const ObjectId c = f.entry("00000001", 3, "c");
        const ObjectId a = f.entry("00000001", 1, "a");
        const ObjectId b = f.entry("00000001", 2, "b");
        QCOMPARE(rows(files), QStringLiteral("a,b,c"));
        f.context.processPendingChanges();

        files.setSelectionIndex(0);
        // moving to another pane moves the row; the selection goes with the entry
        f.context.setValue(a, "viewNo", 4);
        QCOMPARE(rows(files), QStringLiteral("b,c,a"));
        QCOMPARE(rows(files, true), QStringLiteral("a"));
        // an entry handed to another playlist leaves, one handed in arrives
        f.context.setValue(b, "uniqueId", "00000002");
        QCOMPARE(rows(files), QStringLiteral("c,a"));
        f.context.setValue(f.context.fetch("filelist").front(), "uniqueId", "00000001");
        QCOMPARE(rows(files), QStringLiteral("other,c,a"));
        // a cell shows the change of its attribute
        QSignalSpy cells(&files, &QAbstractItemModel::dataChanged);
        f.context.setValue(c, "filePath", "c2");
        QCOMPARE(cells.size(), 1);
        QCOMPARE(rows(files), QStringLiteral("other,c2,a"));
        f.context.deleteObject(c);
        QCOMPARE(rows(files), QStringLiteral("other,a"));
        f.context.processPendingChanges();

        // undo and redo replay through the same signals
        f.context.undoManager()->undo();
        QCOMPARE(rows(files), QStringLiteral("a,b,c"));
        QCOMPARE(rows(files, true), QStringLiteral("a"));
        f.context.undoManager()->undo();
        QCOMPARE(rows(files), QString());
        f.context.undoManager()->redo();
        f.context.undoManager()->redo();
        QCOMPARE(rows(files), QStringLiteral("other,a"));

        files.setFilterPredicate({});
        QCOMPARE(rows(files), QStringLiteral("other,b,a"));
        // another filter keeps what stays selected
        files.setSelectionIndex(2);
        files.setFilterPredicate(Predicate::equals("uniqueId", "00000001"));
        QCOMPARE(rows(files), QStringLiteral("other,a"));
        QCOMPARE(rows(files, true), QStringLiteral("a"));
        files.setFilterPredicate(Predicate::equals("uniqueId", "00000002"));
        QCOMPARE(rows(files), QStringLiteral("b"));
        QCOMPARE(rows(files, true), QString());
    }

    void removingTheSelectedEntrySelectsItsNeighbour_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("after");
        QTest::newRow("middle") << 1 << "c";
        QTest::newRow("last") << 2 << "b";
    }
    void removingTheSelectedEntrySelectsItsNeighbour()
    {
        QFETCH(int, selected);
        QFETCH(QString, after);
        LibraryFixture f;
        FilelistArrayController files(f.context);
        const QList<ObjectId> ids{f.entry("1", 1, "a"), f.entry("1", 2, "b"), f.entry("1", 3, "c")};
        files.setSelectionIndex(selected);
        f.context.deleteObject(ids[selected]);
        QCOMPARE(rows(files, true), after);
    }

    void treeFollowsTheLibrary()
    {
        LibraryFixture f;
        PlaylistTreeController tree(f.context);
        QAbstractItemModelTester tester(&tree, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const ObjectId films = f.node("1", true, NoObject, 1, "Films");
        const ObjectId a = f.node("2", false, films, 2, "A");
        const ObjectId b = f.node("3", false, films, 1, "B");
        const ObjectId top = f.node("4", false, NoObject, 0, "Top");
        QCOMPARE(shape(tree), QStringLiteral("Top,Films(B,A)"));
        QCOMPARE(tree.arrangedObjects(), (QList<ObjectId>{top, films, b, a}));
        f.context.processPendingChanges();
        QTreeView view;
        view.setModel(&tree);
        view.setSelectionModel(tree.selectionModel());
        view.expand(tree.indexOfObject(films));

        QVERIFY(tree.setSelectedObject(a));
        QPersistentModelIndex aIndex = tree.indexOfObject(a);
        // renumbering reorders the level with a row move, so the selection stays on the node
        f.context.setValue(a, "index", 0);
        QCOMPARE(shape(tree), QStringLiteral("Top,Films(A,B)"));
        QCOMPARE(tree.selectedObjects(), QList<ObjectId>{a});
        QCOMPARE(aIndex.row(), 0);
        // moving into another folder and to the top level
        const ObjectId sub = f.node("5", true, films, 5, "Sub");
        // an empty folder still opens and takes drops, a playlist does not; a drag carries the tree's type
        QVERIFY(tree.hasChildren(tree.indexOfObject(sub)) && !tree.hasChildren(tree.indexOfObject(top)));
        QVERIFY(tree.flags(tree.indexOfObject(sub)) & Qt::ItemIsDropEnabled);
        QVERIFY(!(tree.flags(tree.indexOfObject(top)) & Qt::ItemIsDropEnabled));
        QVERIFY(tree.flags(QModelIndex()) & Qt::ItemIsDropEnabled);
        std::unique_ptr<QMimeData> drag(tree.mimeData({tree.indexOfObject(top)}));
        QVERIFY(drag->hasFormat(PlaylistTreeController::PlistPboardType));
        f.context.setRelatedObject(top, "parent", sub);
        QCOMPARE(shape(tree), QStringLiteral("Films(A,B,Sub(Top))"));
        f.context.setRelatedObject(a, "parent", NoObject);
        QCOMPARE(shape(tree), QStringLiteral("A,Films(B,Sub(Top))"));
        QCOMPARE(tree.selectedObjects(), QList<ObjectId>{a});
        QVERIFY(aIndex.isValid());
        f.context.setValue(films, "title", "Movies");
        QCOMPARE(shape(tree), QStringLiteral("A,Movies(B,Sub(Top))"));
        // the folder the user opened is still open: nothing was reset
        QVERIFY(view.isExpanded(tree.indexOfObject(films)));
        f.context.processPendingChanges();

        LibraryRules::removeNodeTree(f.context, films);
        QCOMPARE(shape(tree), QStringLiteral("A"));
        f.context.processPendingChanges();
        f.context.undoManager()->undo();
        QCOMPARE(shape(tree), QStringLiteral("A,Movies(B,Sub(Top))"));
        f.context.undoManager()->undo();
        QCOMPARE(shape(tree), QStringLiteral("Top,Films(B,A)"));
        f.context.undoManager()->undo();
        QCOMPARE(shape(tree), QString());
        while (f.context.undoManager()->canRedo())
            f.context.undoManager()->redo();
        QCOMPARE(shape(tree), QStringLiteral("A"));
    }

    // The row shows at most a line's worth of a long title, never half a pair; editing gets all of it.
    void aLongTitleIsShownCut_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");
        const QString pair = QStringLiteral("\U0001F3A5");
        const QString most(playlistTitles::LongestShownTitle, QLatin1Char('t'));
        const QString ellipsis(QChar(0x2026));
        QTest::newRow("as long as is shown") << most << most;
        QTest::newRow("one longer") << most + "u" << most + ellipsis;
        QTest::newRow("a pair across the end")
            << most.left(most.size() - 1) + pair << most.left(most.size() - 1) + ellipsis;
    }
    void aLongTitleIsShownCut()
    {
        QFETCH(QString, title);
        QFETCH(QString, shown);
        LibraryFixture f;
        PlaylistTreeController tree(f.context);
        f.node("1", false, NoObject, 0, title);
        const QModelIndex row = tree.index(0, 0);
        QCOMPARE(row.data(Qt::DisplayRole).toString(), shown);
        QCOMPARE(row.data(Qt::EditRole).toString(), title);
    }
};

QTEST_MAIN(TestLibraryModels)
#include "tst_librarymodels.moc"
