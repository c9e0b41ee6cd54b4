#include "TestHome.h"

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/StoreCoordinator.h"
#include "platform/XmlStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace tetrapan;
using namespace tetrapan::LibrarySchema;

class TestObjectContext : public QObject {
    Q_OBJECT

private:
    StoreCoordinator coordinator_{model()}; // no store: nothing to load, nothing saved
    std::unique_ptr<ObjectContext> context_;

    ObjectContext& ctx() { return *context_; }

    ObjectId node(const QString& title)
    {
        const ObjectId id = ctx().insertNewObject(Playlist);
        ctx().setValue(id, Title, title);
        return id;
    }

    // the whole library, every record with its id, as the file would hold it
    QByteArray snapshot() { return XmlStore(QString(), ctx().model()).serialize(ctx().records()); }

private Q_SLOTS:
    void init() { context_ = std::make_unique<ObjectContext>(coordinator_); }

    // A save in the background: the caller never waits on the disk, of the saves asked for while one writes
    // only the latest follows it, a change made while one writes stays a change, and one that fails says why.
    void savesInTheBackground()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Tetrapan.xml"));
        StoreCoordinator coordinator(model());
        StoreError error;
        QVERIFY(coordinator.addXmlStore(file, error));
        std::mutex mutex;
        std::condition_variable letGo;
        bool held = true;
        std::atomic<int> writes{0};
        std::atomic<bool> onCallersThread{false};
        QString refusal;
        const auto hold = [&](bool on) {
            {
                std::lock_guard lock(mutex);
                held = on;
            }
            letGo.notify_all();
        };
        // asked before each write, on the thread that writes
        coordinator.setSaveGuard([&] {
            ++writes;
            if (QThread::currentThread() == thread()) {
                onCallersThread = true;
                return refusal;
            }
            std::unique_lock lock(mutex);
            letGo.wait(lock, [&] { return !held; });
            return refusal;
        });
        ObjectContext context(coordinator);
        QSignalSpy saved(&context, &ObjectContext::saved);
        QSignalSpy failed(&context, &ObjectContext::saveFailed);
        const ObjectId playlist = context.insertNewObject(Playlist);
        const auto titled = [&](const char* title) {
            context.setValue(playlist, Title, QString::fromLatin1(title));
            context.processPendingChanges();
        };
        titled("First");
        context.saveInBackground();
        QTRY_COMPARE(writes.load(), 1);
        titled("Second");
        context.saveInBackground();
        titled("Third");
        context.saveInBackground();
        hold(false);
        QTRY_COMPARE(saved.count(), 2);
        QCOMPARE(writes.load(), 2);
        QVERIFY(!context.hasChanges());
        QVERIFY(test::readAll(file).contains("Third"));

        hold(true);
        titled("Fourth");
        context.saveInBackground();
        QTRY_COMPARE(writes.load(), 3);
        titled("Fifth");
        hold(false);
        QTRY_COMPARE(saved.count(), 3);
        QVERIFY(context.hasChanges());
        QVERIFY(test::readAll(file).contains("Fourth"));

        refusal = QStringLiteral("the disk is full");
        context.saveInBackground();
        context.finishSaving();
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.front().front().value<StoreError>().reason.contains(refusal));
        QVERIFY(context.hasChanges());
        QVERIFY(!onCallersThread);
    }

    void fetchAndValues()
    {
        const ObjectId a = node(QStringLiteral("A"));
        const ObjectId b = node(QStringLiteral("B"));
        ctx().setValue(a, UniqueId, QStringLiteral("00000001"));
        ctx().setValue(b, UniqueId, QStringLiteral("00000002"));
        // values take the kind of their attribute
        ctx().setValue(b, Index, QStringLiteral("2"));
        QCOMPARE(ctx().value(b, Index).metaType().id(), QMetaType::Int);
        // unsaved inserts are found, and filtered
        QCOMPARE(ctx().fetch(Playlist), (QList<ObjectId>{a, b}));
        QCOMPARE(ctx().fetch(Playlist, Predicate::equals(UniqueId, QStringLiteral("00000002"))),
                 QList<ObjectId>{b});
        QCOMPARE(ctx().fetch(Playlist, Predicate::equals(Index, 2)), QList<ObjectId>{b});
        // the same text as a number is not the same value
        QVERIFY(ctx().fetch(Playlist, Predicate::equals(UniqueId, 2)).isEmpty());
        QVERIFY(ctx().fetch(Filelist).isEmpty());
        // found by the identifier it has now, and after a delete is undone
        const Predicate second = Predicate::equals(UniqueId, QStringLiteral("00000002"));
        ctx().setValue(b, UniqueId, QStringLiteral("00000003"));
        QVERIFY(ctx().fetch(Playlist, second).isEmpty());
        ctx().setValue(b, UniqueId, QStringLiteral("00000002"));
        QCOMPARE(ctx().fetch(Playlist, second), QList<ObjectId>{b});
        ctx().processPendingChanges();
        ctx().deleteObject(b);
        QVERIFY(ctx().fetch(Playlist, second).isEmpty());
        ctx().processPendingChanges();
        ctx().undoManager()->undo();
        QCOMPARE(ctx().fetch(Playlist, second), QList<ObjectId>{b});
        ctx().deleteObject(a);
        QCOMPARE(ctx().fetch(Playlist), QList<ObjectId>{b});

        const ObjectId entry = ctx().insertNewObject(Filelist);
        ctx().setValue(entry, FileSize, qint64(3) << 30);
        QCOMPARE(ctx().value(entry, FileSize).toLongLong(), qint64(3) << 30);
        // an empty string is a value; no value at all is different
        ctx().setValue(entry, Title, QString());
        QVERIFY(ctx().value(entry, Title).isValid());
        QVERIFY(!ctx().value(entry, FilePath).isValid());
        ctx().setValue(entry, Title, QVariant());
        QVERIFY(!ctx().value(entry, Title).isValid());
    }

    // A record keeps room only for the values it has: values set in any order, changed and taken away leave
    // every other attribute's value as it was.
    void eachAttributeKeepsItsOwnValue()
    {
        const ObjectId entry = ctx().insertNewObject(Filelist);
        ctx().setValue(entry, FileCount, 7);
        ctx().setValue(entry, ItemId, QStringLiteral("a"));
        ctx().setValue(entry, Camera, QStringLiteral("c"));
        ctx().setValue(entry, Title, QStringLiteral("t"));
        ctx().setValue(entry, ViewNo, 2);
        ctx().setValue(entry, Title, QStringLiteral("u"));
        ctx().setValue(entry, Camera, QVariant());
        const auto values = [&] {
            QVariantList all;
            for (const QString& key : {ItemId, ViewNo, FilePath, Title, Camera, FileCount})
                all.append(ctx().value(entry, key));
            return all;
        };
        QCOMPARE(values(), (QVariantList{"a", 2, {}, "u", {}, 7}));
        ctx().setValue(entry, ItemId, QVariant());
        ctx().setValue(entry, FileCount, QVariant());
        QCOMPARE(values(), (QVariantList{{}, 2, {}, "u", {}, {}}));
    }

    void relationshipsKeepTheirInverse()
    {
        const ObjectId folder = node(QStringLiteral("F"));
        const ObjectId other = node(QStringLiteral("G"));
        const ObjectId list = node(QStringLiteral("L"));
        ctx().setRelatedObject(list, Parent, folder);
        QCOMPARE(ctx().relatedObjects(folder, Children), QList<ObjectId>{list});
        // moving to another folder takes it out of the first
        ctx().addRelatedObject(other, Children, list);
        QCOMPARE(ctx().relatedObject(list, Parent), other);
        QVERIFY(ctx().relatedObjects(folder, Children).isEmpty());

        const ObjectId entry = ctx().insertNewObject(Filelist);
        ctx().addRelatedObject(list, RltFilelist, entry);
        QCOMPARE(ctx().relatedObjects(entry, RltPlaylist), QList<ObjectId>{list});
        ctx().removeRelatedObject(entry, RltPlaylist, list);
        QVERIFY(ctx().relatedObjects(list, RltFilelist).isEmpty());

        // deleting unlinks from both sides instead of leaving dangling ids
        ctx().addRelatedObject(list, RltFilelist, entry);
        ctx().deleteObject(other);
        QCOMPARE(ctx().relatedObject(list, Parent), NoObject);
        ctx().deleteObject(entry);
        QVERIFY(ctx().relatedObjects(list, RltFilelist).isEmpty());
    }

    void oneTurnIsOneUndoStep()
    {
        const QByteArray empty = snapshot();
        const ObjectId folder = node(QStringLiteral("F"));
        const ObjectId list = node(QStringLiteral("L"));
        ctx().setRelatedObject(list, Parent, folder);
        const ObjectId entry = ctx().insertNewObject(Filelist);
        ctx().addRelatedObject(list, RltFilelist, entry);
        ctx().processPendingChanges();
        const QByteArray built = snapshot();
        QCOMPARE(ctx().undoManager()->count(), 1);

        ctx().setValue(list, Title, QStringLiteral("Renamed"));
        ctx().processPendingChanges();
        const QByteArray renamed = snapshot();

        ctx().deleteObject(entry);
        ctx().deleteObject(list);
        ctx().deleteObject(folder);
        ctx().processPendingChanges();
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
    }

    // The oldest steps go beyond the limit; undoing all that are kept leaves the first change in place.
    void theUndoHistoryKeepsTheLastSteps()
    {
        const ObjectId a = node(QStringLiteral("0"));
        for (int step = 1; step <= ObjectContext::UndoLimit + 1; ++step) {
            ctx().processPendingChanges();
            ctx().setValue(a, Title, QString::number(step));
            ctx().setValue(a, Index, step);
        }
        ctx().processPendingChanges();
        QUndoStack* undo = ctx().undoManager();
        QCOMPARE(undo->count(), ObjectContext::UndoLimit);
        while (undo->canUndo())
            undo->undo();
        QCOMPARE(ctx().value(a, Title).toString(), QStringLiteral("1"));
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
        QCOMPARE(ctx().fetch(Playlist).size(), 1);
    }

    // A view that reacts to a change by changing the library again must not break undo.
    void changesMadeWhileReplayingJoinTheReplay()
    {
        const ObjectId a = node(QStringLiteral("A"));
        ctx().processPendingChanges();
        ctx().setValue(a, Title, QStringLiteral("B"));
        ctx().processPendingChanges();
        connect(&ctx(), &ObjectContext::valueChanged, this, [this, a](ObjectId id, const QString& key) {
            if (id == a && key == Title)
                ctx().setValue(a, Index, 5);
        });
        ctx().undoManager()->undo();
        QCOMPARE(ctx().value(a, Title).toString(), QStringLiteral("A"));
        QCOMPARE(ctx().undoManager()->count(), 2);
        QCOMPARE(ctx().value(a, Index).toInt(), 5);
    }
};

QTEST_GUILESS_MAIN(TestObjectContext)
#include "tst_objectcontext.moc"
