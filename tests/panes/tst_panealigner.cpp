// Aligning the panes of a playlist by sound, as the commands ask: the offsets found are set in one undoable
// step while the others stay as they were, every pane that kept its offset is named with its reason, a
// cancelled or outdated analysis changes nothing, and the commands wait for two movies.
#include "panes/PaneAligner.h"

#include "AlignClips.h"
#include "AppFixture.h"
#include "PaneFixture.h"

#include "panes/AlignNotice.h"
#include "panes/PaneOffsets.h"

#include <QProgressBar>
#include <QPushButton>

#include <QTest>
#include <QUndoStack>

using namespace tetrapan;
using namespace tetrapan::test;
using Encoding = AlignClips::Encoding;

namespace {

// cuts of one source: the leader from 2 s in, "later" from 0.7 s (1.3 s behind the leader), "earlier" from
// 3.123 s (1.123 s ahead of it, in WebM)
struct Cuts {
    QString leader, later, unrelated, earlier, error;
};

Cuts makeCuts()
{
    AlignClips clips(QStringLiteral(TETRAPAN_BINARY_DIR "/clips/align"));
    const QString source = clips.source(12.0, 1);
    Cuts cuts{clips.cut(source, QStringLiteral("leader"), 2.0, 8.0, Encoding::H264Aac),
              clips.cut(source, QStringLiteral("other-0-0.7-1"), 0.7, 8.0, Encoding::H264Aac),
              clips.cut(clips.source(12.0, 2), QStringLiteral("other-0-1-2"), 1.0, 8.0, Encoding::H264Aac),
              clips.cut(source, QStringLiteral("other-1-3.123-1"), 3.123, 8.0, Encoding::Vp9Opus),
              clips.error()};
    return cuts;
}

} // namespace

class TestPaneAligner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void foundOffsetsAreOneStepTheRestAreNamed()
    {
        const Cuts cuts = makeCuts();
        QVERIFY2(cuts.error.isEmpty(), qPrintable(cuts.error));
        PaneFixture f;
        const ObjectId list = f.playlist(QStringLiteral("four cameras"));
        const QString paths[] = {cuts.leader, cuts.later, cuts.unrelated, cuts.earlier};
        for (int n = 1; n <= 4; ++n)
            f.entry(list, n, paths[n - 1]);
        f.choose(list);
        f.controller.offsets().setOffsetMs(3, 1234);
        f.context.processPendingChanges();
        QUndoStack* undo = f.context.undoManager();
        undo->clear();
        f.movieOf(1)->moveTo(at600(3.0));
        f.movieOf(2)->moveTo(at600(1.0));

        PaneAligner aligner(f.controller);
        QVERIFY(aligner.canAlign());
        QString report;
        connect(&aligner, &PaneAligner::alignFinished, this,
                [&report](const QString& text) { report = text; });
        aligner.alignPanes(PaneAligner::Method::Sound);
        QVERIFY(aligner.isAligning());
        QVERIFY(!aligner.canAlign()); // one at a time
        QTRY_VERIFY_WITH_TIMEOUT(!report.isEmpty(), 20000);

        QVERIFY2(std::abs(f.controller.movieOffsetMs(2) - 1300) <= 2, qPrintable(report));
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(1234));
        // WebM's time line starts 7 ms before zero
        QVERIFY2(std::abs(f.controller.movieOffsetMs(4) + 1116) <= 2, qPrintable(report));
        QCOMPARE(report,
                 QStringLiteral("Panes 2 and 4 are aligned to pane 1 by sound. Pane 3: no matching sound "
                                "found; it keeps its offset."));
        // synchronised to the new offset at once
        QCOMPARE(f.movieOf(2)->currentTime().seconds(),
                 f.movieOf(1)->currentTime().seconds() + f.controller.movieOffsetMs(2) / 1000.0);
        QCOMPARE(undo->count(), 1);
        QCOMPARE(undo->undoText(), QStringLiteral("Align by Sound"));
        undo->undo();
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(1234));
        QCOMPARE(f.controller.movieOffsetMs(4), qint64(0));

        // an alignment that moves nothing is no step, and leaves the step undone to be redone
        report.clear();
        aligner.alignPane(3);
        QTRY_VERIFY_WITH_TIMEOUT(!report.isEmpty(), 20000);
        QCOMPARE(undo->count(), 1);
        QVERIFY(undo->canRedo());
    }

    // a pane 25/24 as fast as the leader gets its rate and offset in one step
    void atTwoPointsTheRateToo()
    {
        AlignClips clips(QStringLiteral(TETRAPAN_BINARY_DIR "/clips/align"));
        const QString source = clips.source(60.0, 3);
        const QString leader = clips.cut(source, QStringLiteral("two-leader"), 1.0, 55.0, Encoding::H264Aac);
        const QString faster = clips.cut(source, QStringLiteral("two-%1").arg(int(Encoding::Faster)), 3.0,
                                         55.0, Encoding::Faster);
        QVERIFY2(!leader.isEmpty() && !faster.isEmpty(), qPrintable(clips.error()));
        PaneFixture f;
        const ObjectId list = f.playlist(QStringLiteral("film and video"));
        f.entry(list, 1, leader);
        f.entry(list, 2, faster);
        f.choose(list);
        f.context.processPendingChanges();
        f.context.undoManager()->clear();
        PaneAligner aligner(f.controller);
        QString report;
        connect(&aligner, &PaneAligner::alignFinished, this,
                [&report](const QString& text) { report = text; });
        aligner.alignPanes(PaneAligner::Method::TwoPoints);
        QTRY_VERIFY_WITH_TIMEOUT(!report.isEmpty(), 30000);
        // the leader's second s is the source's 1 + s, which the faster pane shows at (s - 2) * 24/25
        QVERIFY2(std::abs(f.controller.offsets().rate(2) - 24.0 / 25.0) < 2e-5, qPrintable(report));
        QVERIFY2(std::abs(f.controller.movieOffsetMs(2) + 1920) <= 3, qPrintable(report));
        QCOMPARE(f.context.undoManager()->count(), 1);
        QCOMPARE(f.context.undoManager()->undoText(), QStringLiteral("Align by Sound at Two Points"));
        f.context.undoManager()->undo();
        QCOMPARE(f.controller.offsets().rate(2), 1.0);
    }

    void cancelledOrOutdatedChangesNothing_data()
    {
        QTest::addColumn<bool>("cancel"); // otherwise the playlist changes while it runs
        QTest::newRow("cancelled") << true;
        QTest::newRow("another playlist chosen meanwhile") << false;
    }
    void cancelledOrOutdatedChangesNothing()
    {
        QFETCH(bool, cancel);
        const Cuts cuts = makeCuts();
        QVERIFY2(cuts.error.isEmpty(), qPrintable(cuts.error));
        PaneFixture f;
        const ObjectId list = f.playlist(QStringLiteral("two"));
        f.entry(list, 1, cuts.leader);
        f.entry(list, 2, cuts.later);
        f.choose(list);
        PaneAligner aligner(f.controller);
        QString report;
        connect(&aligner, &PaneAligner::alignFinished, this,
                [&report](const QString& text) { report = text; });
        aligner.alignPane(2);
        QVERIFY(aligner.isAligning());
        if (cancel) {
            aligner.cancel();
        } else {
            const ObjectId other = f.playlist(QStringLiteral("other"));
            f.entry(other, 1, cuts.leader);
            f.entry(other, 2, cuts.later);
            f.choose(other);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!report.isEmpty(), 20000);
        QCOMPARE(report, cancel ? QStringLiteral("Aligning was cancelled; no offset changed.")
                                : QStringLiteral("The panes changed while aligning; no offset changed."));
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
    }

    // the commands in the program: enabled with two movies, the notice's progress, Cancel and report
    void commandsInTheProgram()
    {
        AppFixture app;
        app.chooseWithEntries({1});
        auto* bySound = app.window().findChild<QAction*>(QStringLiteral("actionAlignBySound"));
        QVERIFY(bySound && app.window().playbackMenu()->actions().contains(bySound));
        QVERIFY(!bySound->isEnabled());
        app.chooseWithEntries({1, 2});
        QVERIFY(bySound->isEnabled());
        bySound->trigger();
        AlignNotice& notice = app.nib->alignNotice();
        // shown over the panes (the fixture's window itself is not on screen)
        QVERIFY(!notice.isHidden());
        QVERIFY(!notice.progressBar()->isHidden());
        QCOMPARE(notice.button()->text(), QStringLiteral("Cancel"));
        QVERIFY(!bySound->isEnabled()); // one at a time
        // the fake engine's movies have no files to read
        QTRY_VERIFY_WITH_TIMEOUT(
            notice.text().startsWith(QStringLiteral("Pane 1, which the others are aligned to, "
                                                    "cannot be read")),
            10000);
        QVERIFY(bySound->isEnabled());
        QCOMPARE(notice.button()->text(), QStringLiteral("Close"));
        app.scheduler.advance(AlignNotice::ShowDuration);
        QVERIFY(notice.isHidden());
    }

    // Aligning needs the leader and another pane holding single movies: a recording of many files is placed
    // by its files' times and is not read by the analysis.
    void whatCanBeAligned_data()
    {
        QTest::addColumn<int>("movies");    // panes 1 to n hold movies
        QTest::addColumn<int>("recording"); // the pane among them that plays a recording; 0 none
        QTest::addColumn<bool>("canAlign");
        QTest::addColumn<QList<int>>("alignable"); // the panes "Align This Pane by Sound" is enabled for
        QTest::newRow("one movie") << 1 << 0 << false << QList<int>{};
        QTest::newRow("two movies") << 2 << 0 << true << QList<int>{2};
        QTest::newRow("a recording beside the leader") << 2 << 2 << false << QList<int>{};
        QTest::newRow("the leader plays a recording") << 3 << 1 << false << QList<int>{};
        QTest::newRow("a recording among movies") << 3 << 2 << true << QList<int>{3};
    }

    void whatCanBeAligned()
    {
        QFETCH(int, movies);
        QFETCH(int, recording);
        QFETCH(bool, canAlign);
        QFETCH(QList<int>, alignable);
        const Cuts cuts = makeCuts();
        PaneFixture f;
        const ObjectId list = f.playlist(QStringLiteral("panes"));
        for (int n = 1; n <= movies; ++n)
            f.entry(list, n, cuts.leader);
        f.choose(list);
        if (recording) {
            Recording files;
            files.pieces.append({cuts.leader, 0, 8000, {}});
            f.movieOf(recording)->playsRecording = files;
        }
        PaneAligner aligner(f.controller);
        QCOMPARE(aligner.canAlign(), canAlign);
        QList<int> enabled;
        for (int n = 1; n <= 4; ++n) {
            f.menu(n).setPaneAligner(&aligner);
            f.menu(n).setMenuItem();
            const auto items = f.menu(n).actions();
            const auto align = std::find_if(items.begin(), items.end(), [](const QAction* item) {
                return item->text() == QStringLiteral("Align This Pane by Sound");
            });
            QVERIFY(align != items.end());
            QCOMPARE((*align)->isEnabled(), aligner.canAlignPane(n));
            if (aligner.canAlignPane(n))
                enabled << n;
        }
        QCOMPARE(enabled, alignable);
        if (!canAlign || !recording)
            return;
        // the recording is named in the report, with why it kept its offset
        QString report;
        connect(&aligner, &PaneAligner::alignFinished, this,
                [&report](const QString& text) { report = text; });
        aligner.alignPanes(PaneAligner::Method::Sound);
        QTRY_VERIFY_WITH_TIMEOUT(!report.isEmpty(), 20000);
        QVERIFY2(
            report.contains(QStringLiteral("Pane %1's movie is a recording of many files").arg(recording)),
            qPrintable(report));
        QCOMPARE(f.controller.movieOffsetMs(recording), qint64(0));
    }
};

QTEST_MAIN(TestPaneAligner)
#include "tst_panealigner.moc"
