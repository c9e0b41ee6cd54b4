// Where a playlist's panes stood, kept on its entries when the user leaves it and at quit, and given back,
// stopped, when it is chosen again and at the next start; on the whole application on fakes.
#include "AppFixture.h"

#include "library/TBArrayController.h"

#include <QUndoStack>

using namespace tetrapan;
using tetrapan::test::AppFixture;

class TestPanePositions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void panesComeBackWhereTheyStood_data()
    {
        QTest::addColumn<double>("stoodAt"); // pane 1's time; the movies are a minute long
        QTest::addColumn<QVariant>("kept");
        QTest::addColumn<double>("back");
        QTest::newRow("midway") << 12.5 << QVariant(12500) << 12.5;
        QTest::newRow("at the beginning") << 0.0 << QVariant() << 0.0;
        // watched to the end, it is watched again from the start
        QTest::newRow("at the end") << 60.0 << QVariant() << 0.0;
    }
    void panesComeBackWhereTheyStood()
    {
        QFETCH(double, stoodAt);
        QFETCH(QVariant, kept);
        QFETCH(double, back);
        AppFixture app;
        app.chooseWithEntries({1, 2});
        const ObjectId entry =
            app.nib->tbArrayController()
                .getObjectsWithPred(LibrarySchema::Filelist, Predicate::equals(LibrarySchema::ViewNo, 1))
                .front();
        app.ctx().processPendingChanges();
        const int steps = app.ctx().undoManager()->count();
        const auto standAndLeave = [&] {
            app.pane(1).movie()->setCurrentTime(MovieTime::fromSeconds(stoodAt));
            app.pane(2).movie()->setCurrentTime(MovieTime::fromSeconds(7));
            app.coordinator().setAllMoviePlay(true);
            app.choose(QStringLiteral("b"));
        };
        const auto comeBack = [&] {
            // pane 2 shows where it stood; pane 1 stands where the row says, and they stay stopped
            app.scheduler.advance(MovController::ResumeAfterLoadDelay);
            QCOMPARE(app.pane(1).movie()->currentTime().seconds(), back);
            QCOMPARE(app.pane(2).movie()->currentTime().seconds(), 7.0);
            QCOMPARE(app.playing(), QList<bool>({false, false, false, false}));
        };
        standAndLeave();
        QCOMPARE(app.ctx().value(entry, LibrarySchema::Position), kept);
        // the program's own note: no step to undo, and nothing saved for it alone
        app.ctx().processPendingChanges();
        QCOMPARE(app.ctx().undoManager()->count(), steps);
        app.choose(QStringLiteral("a"));
        comeBack();

        // and at quit, for the next start
        app.ctx().processPendingChanges();
        app.pane(1).movie()->setCurrentTime(MovieTime::fromSeconds(stoodAt));
        QCOMPARE(app.nib->appDelegate().applicationShouldTerminate(),
                 int(Tetrapan_AppDelegate::TerminateNow));
        app.restart();
        app.scheduler.advance(MovController::ChangeDelay);
        QCOMPARE(app.coordinator().uniqueId(), app.uid(QStringLiteral("a")));
        comeBack();
    }

    void aPlaylistLeftWhileTheNextLoadsKeepsItsPlace()
    {
        // "b" shows pane 1's file too; its copy is open, at its beginning, when "c" is chosen
        AppFixture app;
        app.chooseWithEntries({1, 2});
        app.entry(QStringLiteral("b"), 1, QStringLiteral("/clips/1.mp4"));
        app.entry(QStringLiteral("b"), 2, QStringLiteral("/clips/3.mp4"));
        app.ctx().processPendingChanges();
        app.pane(1).movie()->setCurrentTime(MovieTime::fromSeconds(12.5));
        // a file the user placed in pane 2 keeps its place too
        app.coordinator().copyMovieView(0, QStringLiteral("/clips/9.mp4"), 2);
        app.settle();
        app.pane(2).movie()->setCurrentTime(MovieTime::fromSeconds(7));
        const auto kept = [&](int viewNo) {
            const ObjectId id = app.nib->tbArrayController()
                                    .getObjectsWithPred(LibrarySchema::Filelist,
                                                        Predicate::equals(LibrarySchema::UniqueId,
                                                                          app.uid(QStringLiteral("a")))
                                                            .andEquals(LibrarySchema::ViewNo, viewNo))
                                    .front();
            return app.ctx().value(id, LibrarySchema::Position);
        };
        app.engine.holdOpens = true;
        app.choose(QStringLiteral("b"));
        app.engine.finishOpens(QStringLiteral("/clips/1.mp4"));
        QCOMPARE(app.pane(1).movie()->currentTime().seconds(), 0.0);
        app.choose(QStringLiteral(""));
        QCOMPARE(kept(1), QVariant(12500));
        QCOMPARE(kept(2), QVariant(7000));
    }
};

QTEST_MAIN(TestPanePositions)
#include "tst_panepositions.moc"
