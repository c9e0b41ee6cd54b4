#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/StoreCoordinator.h"

#include <QTest>

using namespace tetrapan;

namespace {

const QString Title = QStringLiteral("title");
const QString Parent = QStringLiteral("parent");
const QString Children = QStringLiteral("children");
const QString Files = QStringLiteral("rlt_filelist");
const QString Lists = QStringLiteral("rlt_playlist");

} // namespace

class TestObjectContext : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<StoreCoordinator> coordinator_;
    std::unique_ptr<ObjectContext> context_;

    ObjectContext& ctx() { return *context_; }

    ObjectId node(const QString& title, bool folder = false)
    {
        const ObjectId id = ctx().insertNewObject(LibrarySchema::Playlist);
        ctx().setValue(id, Title, title);
        ctx().setValue(id, QStringLiteral("isFolder"), folder);
        return id;
    }

    // what a user sees of the library: every node's title, parent title and linked entries
    QStringList snapshot()
    {
        QStringList lines;
        for (ObjectId id : ctx().fetch(LibrarySchema::Playlist)) {
            const ObjectId parent = ctx().relatedObject(id, Parent);
            QStringList children;
            for (ObjectId c : ctx().relatedObjects(id, Children))
                children << ctx().value(c, Title).toString();
            lines << QStringLiteral("%1 in [%2] holds [%3] links %4")
                         .arg(ctx().value(id, Title).toString(), ctx().value(parent, Title).toString(),
                              children.join(QLatin1Char(',')))
                         .arg(ctx().relatedObjects(id, Files).size());
        }
        lines << QStringLiteral("entries %1").arg(ctx().fetch(LibrarySchema::Filelist).size());
        return lines;
    }

    void endTurn() { ctx().processPendingChanges(); }

private Q_SLOTS:
    void init()
    {
        coordinator_ = std::make_unique<StoreCoordinator>(LibrarySchema::model());
        context_ = std::make_unique<ObjectContext>(*coordinator_);
    }

    void cleanup()
    {
        context_.reset();
        coordinator_.reset();
    }

    void fetchSeesUnsavedInsertsAndFilters()
    {
        const ObjectId a = node(QStringLiteral("A"));
        const ObjectId b = node(QStringLiteral("B"));
        ctx().setValue(a, QStringLiteral("uniqueId"), QStringLiteral("00000001"));
        ctx().setValue(b, QStringLiteral("uniqueId"), QStringLiteral("00000002"));
        ctx().setValue(b, QStringLiteral("index"), 2);
        QCOMPARE(ctx().fetch(LibrarySchema::Playlist), (QList<ObjectId>{a, b}));
        const Predicate byId = Predicate::equals(QStringLiteral("uniqueId"), QStringLiteral("00000002"));
        QCOMPARE(byId.format(), QStringLiteral("uniqueId == \"00000002\""));
        QCOMPARE(ctx().fetch(LibrarySchema::Playlist, byId), QList<ObjectId>{b});
        QCOMPARE(ctx().fetch(LibrarySchema::Playlist, Predicate::equals(QStringLiteral("index"), 2)),
                 QList<ObjectId>{b});
        // the same text as a number is not the same value
        QVERIFY(
            ctx().fetch(LibrarySchema::Playlist, Predicate::equals(QStringLiteral("uniqueId"), 2)).isEmpty());
        QVERIFY(ctx().fetch(LibrarySchema::Filelist).isEmpty());
        ctx().deleteObject(a);
        QCOMPARE(ctx().fetch(LibrarySchema::Playlist), QList<ObjectId>{b});
    }

    void attributesTakeTheirKind()
    {
        const ObjectId id = ctx().insertNewObject(LibrarySchema::Filelist);
        ctx().setValue(id, QStringLiteral("viewNo"), QStringLiteral("3"));
        ctx().setValue(id, QStringLiteral("fileSize"), qint64(3) << 30);
        ctx().setValue(id, QStringLiteral("title"), QString());
        QCOMPARE(ctx().value(id, QStringLiteral("viewNo")).metaType().id(), QMetaType::Int);
        QCOMPARE(ctx().value(id, QStringLiteral("viewNo")).toInt(), 3);
        QCOMPARE(ctx().value(id, QStringLiteral("fileSize")).toLongLong(), qint64(3) << 30);
        // an empty string is a value; no value at all is different
        QVERIFY(ctx().value(id, QStringLiteral("title")).isValid());
        QVERIFY(!ctx().value(id, QStringLiteral("filePath")).isValid());
        ctx().setValue(id, QStringLiteral("title"), QVariant());
        QVERIFY(!ctx().value(id, QStringLiteral("title")).isValid());
    }

    void relationshipsKeepTheirInverse()
    {
        const ObjectId folder = node(QStringLiteral("F"), true);
        const ObjectId other = node(QStringLiteral("G"), true);
        const ObjectId list = node(QStringLiteral("L"));
        ctx().setRelatedObject(list, Parent, folder);
        QCOMPARE(ctx().relatedObjects(folder, Children), QList<ObjectId>{list});
        // moving to another folder takes it out of the first
        ctx().addRelatedObject(other, Children, list);
        QCOMPARE(ctx().relatedObject(list, Parent), other);
        QVERIFY(ctx().relatedObjects(folder, Children).isEmpty());

        const ObjectId entry = ctx().insertNewObject(LibrarySchema::Filelist);
        ctx().addRelatedObject(list, Files, entry);
        QCOMPARE(ctx().relatedObjects(entry, Lists), QList<ObjectId>{list});
        ctx().removeRelatedObject(entry, Lists, list);
        QVERIFY(ctx().relatedObjects(list, Files).isEmpty());

        // deleting unlinks from both sides instead of leaving dangling ids
        ctx().addRelatedObject(list, Files, entry);
        ctx().deleteObject(other);
        QCOMPARE(ctx().relatedObject(list, Parent), NoObject);
        ctx().deleteObject(entry);
        QVERIFY(ctx().relatedObjects(list, Files).isEmpty());
    }

    void oneTurnIsOneUndoStep()
    {
        const QStringList empty = snapshot();
        const ObjectId folder = node(QStringLiteral("F"), true);
        const ObjectId list = node(QStringLiteral("L"));
        ctx().setRelatedObject(list, Parent, folder);
        const ObjectId entry = ctx().insertNewObject(LibrarySchema::Filelist);
        ctx().addRelatedObject(list, Files, entry);
        endTurn();
        const QStringList built = snapshot();
        QCOMPARE(ctx().undoManager()->count(), 1);

        ctx().setValue(list, Title, QStringLiteral("Renamed"));
        endTurn();
        const QStringList renamed = snapshot();

        ctx().deleteObject(entry);
        ctx().deleteObject(list);
        ctx().deleteObject(folder);
        endTurn();
        QCOMPARE(snapshot(), empty);

        QUndoStack* undo = ctx().undoManager();
        QCOMPARE(undo->count(), 3);
        undo->undo();
        QCOMPARE(snapshot(), renamed);
        undo->undo();
        QCOMPARE(snapshot(), built);
        undo->undo();
        QCOMPARE(snapshot(), empty);
        undo->redo();
        undo->redo();
        QCOMPARE(snapshot(), renamed);
        undo->redo();
        QCOMPARE(snapshot(), empty);
        // the records that came back are the same records: ids held by views stay good
        undo->undo();
        QCOMPARE(ctx().value(list, Title).toString(), QStringLiteral("Renamed"));
        QCOMPARE(ctx().relatedObject(list, Parent), folder);
    }

    void stepsCloseInTheEventLoopOrAtTheGroupEnd()
    {
        node(QStringLiteral("A"));
        QVERIFY(!ctx().undoManager()->canUndo());
        QCoreApplication::processEvents();
        QCOMPARE(ctx().undoManager()->count(), 1);
        ctx().beginUndoGroup(QStringLiteral("Add Folder"));
        node(QStringLiteral("B"));
        QCoreApplication::processEvents();
        node(QStringLiteral("C"));
        ctx().endUndoGroup();
        QCOMPARE(ctx().undoManager()->count(), 2);
        QCOMPARE(ctx().undoManager()->undoText(), QStringLiteral("Add Folder"));
        ctx().undoManager()->undo();
        QCOMPARE(ctx().fetch(LibrarySchema::Playlist).size(), 1);
    }

    // A view that reacts to a change by changing the library again must not break undo.
    void changesMadeWhileReplayingJoinTheReplay()
    {
        const ObjectId a = node(QStringLiteral("A"));
        endTurn();
        ctx().setValue(a, Title, QStringLiteral("B"));
        endTurn();
        connect(&ctx(), &ObjectContext::valueChanged, this, [this, a](ObjectId id, const QString& key) {
            if (id == a && key == Title)
                ctx().setValue(a, QStringLiteral("index"), 5);
        });
        ctx().undoManager()->undo();
        QCOMPARE(ctx().value(a, Title).toString(), QStringLiteral("A"));
        QCOMPARE(ctx().undoManager()->count(), 2);
        QCOMPARE(ctx().value(a, QStringLiteral("index")).toInt(), 5);
    }
};

QTEST_GUILESS_MAIN(TestObjectContext)
#include "tst_objectcontext.moc"
