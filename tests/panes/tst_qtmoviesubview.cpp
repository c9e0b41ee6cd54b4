// One pane's behaviour on the fake engine.
#include "OpenAndWait.h"
#include "PaneFixture.h"
#include "library/LibrarySchema.h"
#include "panes/PanePlacing.h"
#include "platform/Predicate.h"

#include "engine/MovieView.h"
#include "panes/MovieControllerBar.h"
#include "panes/PaneOpening.h"
#include "panes/TimeForm.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <cmath>

using namespace tetrapan;
using namespace tetrapan::test;
using namespace std::chrono_literals;

namespace {
// What a caller can ask a pane, in one list.
QVariantList stateOf(QTMovieSubView& pane)
{
    return {pane.movie() != nullptr, pane.movieView()->movie() != nullptr,
            pane.filePath(),         pane.isEndFrame(),
            pane.isMuted(),          pane.isPlaying(),
            pane.isAvailable(),      pane.isPlayable(),
            pane.isLoop(),           pane.isController(),
            pane.isKeepAspect(),     pane.movieControllerBounds().isEmpty()};
}
} // namespace

class TestQTMovieSubView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void anEndingMovieRestartsEveryLoopingPane()
    {
        PaneFixture f;
        FakeMovie* looping = f.load(1, "a.mp4");
        FakeMovie* stopped = f.load(2, "b.mp4");
        f.pane(1).playMovie();
        // Played to its end, the movie stops by itself and the pane starts it again from the beginning.
        looping->commands.clear();
        looping->reachEnd();
        QCOMPARE(looping->commands, QStringList{"play"});
        QVERIFY(f.pane(1).isPlaying());
        QCOMPARE(looping->currentTime(), at600(0));
        QVERIFY(stopped->commands.filter("play").isEmpty());
        // The end of another pane's movie restarts the looping one as well.
        looping->commands.clear();
        stopped->reachEnd();
        QCOMPARE(looping->commands, QStringList{"play"});
        QVERIFY(!f.pane(2).isPlaying());
        // Stopped panes stay stopped at the end, also those sent there.
        f.pane(1).skipEndMovieTime();
        QVERIFY(f.pane(1).isEndFrame());
        looping->commands.clear();
        looping->reachEnd();
        QVERIFY(looping->commands.isEmpty());
        QVERIFY(!f.pane(1).isPlaying());
    }

    void replacingAMovie_data()
    {
        QTest::addColumn<bool>("update"); // updating carries the mute over; creating alone does not
        QTest::newRow("update, stopped and muted") << true;
        QTest::newRow("create, after playing and muted") << false;
    }

    void replacingAMovie()
    {
        QFETCH(bool, update);
        PaneFixture f;
        f.setFloat("optPlayVolume", 0.75f);
        f.load(1, "first.mp4");
        QTMovieSubView& pane = f.pane(1);
        pane.setMoviePlay(!update);
        pane.setMovieMuted(true);
        pane.setMovieController(true);
        pane.setMovieAspect(false);

        if (update)
            pane.updateMovieView(clip("second.mp4"));
        else
            QVERIFY(openInPane(pane, clip("second.mp4")));
        FakeMovie* second = f.movieOf(1);
        QCOMPARE(pane.filePath(), clip("second.mp4"));
        QVERIFY(!pane.isPlaying() && !pane.isLoop());
        QCOMPARE(pane.isMuted(), update);
        QCOMPARE(second->volume(), update ? 0.0f : 0.75f);
        QCOMPARE(f.engine.openedMovies().size(), 1); // the first movie is gone
        if (!update)
            QCOMPARE(second->commands, (QStringList{"gotoBeginning", "setLoops 0", "setLoopsBackAndForth 0",
                                                    "setVolume 0.75"}));
        // Bar and aspect stay as the pane had them.
        QVERIFY(pane.isController() && !pane.isKeepAspect() && pane.isAvailable());
    }

    // A file slow to open: the pane keeps its movie, says after a moment which file it opens, and its
    // Cancel drops the open at the engine; a newer open replaces one under way.
    void aSlowOpenShowsItselfAndCancels()
    {
        PaneFixture f;
        const FakeMovie* first = f.load(1, "first.mp4");
        QTMovieSubView& pane = f.pane(1);
        const QWidget& notice = *pane.opening().notice();
        f.engine.holdOpens = true;
        QList<QTMovieSubView::OpenOutcome> outcomes;
        const auto heard = [&outcomes](QTMovieSubView::OpenOutcome outcome, const QString&) { outcomes << outcome; };
        pane.createMovieView(clip("slow.mp4"), heard);
        QVERIFY(pane.isOpening());
        QCOMPARE(f.movieOf(1), first);
        f.scheduler.advance(PaneOpening::NoticeDelay - 1ms);
        QVERIFY(!notice.isVisibleTo(&pane));
        f.scheduler.advance(1ms);
        QVERIFY(notice.isVisibleTo(&pane));
        pane.opening().cancelButton()->click();
        QCOMPARE(outcomes, QList{QTMovieSubView::OpenOutcome::Cancelled});
        QVERIFY(!pane.isOpening() && !notice.isVisibleTo(&pane));
        QVERIFY(f.engine.heldPaths().isEmpty());
        QCOMPARE(f.movieOf(1), first);

        pane.createMovieView(clip("a.mp4"), heard);
        pane.createMovieView(clip("b.mp4"), heard);
        QCOMPARE(f.engine.heldPaths(), QStringList{clip("b.mp4")});
        f.engine.finishOpens();
        QCOMPARE(outcomes.mid(1), (QList{QTMovieSubView::OpenOutcome::Cancelled, QTMovieSubView::OpenOutcome::Opened}));
        QCOMPARE(pane.filePath(), clip("b.mp4"));

        // a movie opened again in place of one playing (an undo) is left as the user leaves the one it
        // replaces
        pane.setMoviePlay(true);
        pane.updateMovieView(clip("c.mp4"), {});
        pane.setMoviePlay(false);
        pane.setMovieMuted(!pane.isMuted());
        const bool muted = pane.isMuted();
        f.engine.finishOpens();
        QCOMPARE(pane.filePath(), clip("c.mp4"));
        QVERIFY(!pane.isPlaying());
        QCOMPARE(pane.isMuted(), muted);
    }

    // The playlist deleted while a file dropped on it opened: no entry is made for a playlist that is gone.
    void aPlaylistGoneWhileTheMovieOpensTakesNoEntry()
    {
        PaneFixture f;
        const ObjectId list = f.chooseWithEntries(1, "own.mp4");
        const QString id = f.idOf(list);
        f.engine.holdOpens = true;
        f.pane(2).placing().createMovieFrame(clip("slow.mp4"));
        f.context.deleteObject(list);
        f.engine.finishOpens();
        QVERIFY(f.context
                    .fetch(LibrarySchema::Filelist,
                           Predicate::equals(LibrarySchema::UniqueId, id).andEquals(LibrarySchema::ViewNo, 2))
                    .isEmpty());
        QVERIFY(f.dialogs.alerts.isEmpty());
    }

    void emptyAndClearedPanesAgree()
    {
        PaneFixture f;
        const QVariantList empty{false, false, QString(), true,  false, false,
                                 false, false, false,     false, true,  true};
        QCOMPARE(stateOf(f.pane(2)), empty);
        f.pane(2).changeMoviePlay(); // a double click: nothing to play
        QCOMPARE(stateOf(f.pane(2)), empty);

        f.load(1);
        QTMovieSubView& pane = f.pane(1);
        pane.playMovie();
        pane.setMovieController(true);
        pane.setMovieAspect(false);
        pane.setMovieMuted(true);
        QSignalSpy rates(&f.engine, &MovieEngine::movieRateDidChange);
        pane.clearMovieView();
        QCOMPARE(rates.count(), 1); // stopped before it was let go
        QVERIFY(f.engine.openedMovies().isEmpty());
        QCOMPARE(stateOf(pane), empty);
    }

    // A click on the bar's position jumps to the point clicked; a drag from there follows the pointer. A
    // movie too long for hundredths in the slider's count (a camera folder of months) is counted coarser.
    void controllerBarSeeksWhereClicked_data()
    {
        QTest::addColumn<double>("duration");
        QTest::newRow("a minute") << 60.0;
        QTest::newRow("a year") << 365.0 * 86400;
    }

    void controllerBarSeeksWhereClicked()
    {
        QFETCH(double, duration);
        PaneFixture f;
        f.engine.durations.insert(clip("clip.mp4"), MovieTime::fromSeconds(duration));
        FakeMovie* movie = f.load(1);
        f.pane(1).setMovieController(true);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        auto* slider = f.pane(1).findChild<QSlider*>();
        QVERIFY(slider && slider->isVisible());
        const auto at = [slider](double share) {
            return QPoint(static_cast<int>(slider->width() * share), slider->height() / 2);
        };
        const auto share = [movie, duration] { return movie->currentTime().seconds() / duration; };
        // the handle's own width shifts the point a little from the share of the bar's width
        QTest::mouseClick(slider, Qt::LeftButton, {}, at(0.75));
        QVERIFY2(std::abs(share() - 0.75) < 0.07, qPrintable(QString::number(share())));
        QTest::mousePress(slider, Qt::LeftButton, {}, at(0.25));
        QVERIFY2(std::abs(share() - 0.25) < 0.07, qPrintable(QString::number(share())));
        QTest::mouseMove(slider, at(0.5));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, at(0.5));
        QVERIFY2(std::abs(share() - 0.5) < 0.07, qPrintable(QString::number(share())));
        // hidden while the movie moves on (a hidden bar is not kept up), shown again where it is now
        f.pane(1).setMovieController(false);
        movie->setCurrentTime(MovieTime::fromSeconds(duration * 5 / 6));
        Q_EMIT movie->timeDidChange(movie);
        f.pane(1).setMovieController(true);
        QCOMPARE(qRound(6.0 * slider->value() / slider->maximum()), 5);
    }

    void timeForms_data()
    {
        QTest::addColumn<double>("current");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("rate");
        QTest::addColumn<bool>("frames");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << 0.0 << 0.0 << 0.0 << false << "0:00:00.000 / 0:00:00.000";
        QTest::newRow("to the millisecond") << 65.04 << 600.0 << 25.0 << false << "0:01:05.040 / 0:10:00.000";
        QTest::newRow("past an hour") << 3725.9996 << 7200.0 << 0.0 << false << "1:02:06.000 / 2:00:00.000";
        QTest::newRow("a frame's time is its frame")
            << 10.039999 << 60.0 << 25.0 << true << "frame 251 / 1500";
        QTest::newRow("an uneven rate") << 1.001 << 10.01 << 30000 / 1001.0 << true << "frame 30 / 300";
        QTest::newRow("no rate known: the time")
            << 10.04 << 60.0 << 0.0 << true << "0:00:10.040 / 0:01:00.000";
    }

    void timeForms()
    {
        QFETCH(double, current);
        QFETCH(double, duration);
        QFETCH(double, rate);
        QFETCH(bool, frames);
        QTEST(TimeForm::text(current, duration, rate, frames), "expected");
    }

    void offsetTexts()
    {
        QCOMPARE(TimeForm::offsetText(4000), QStringLiteral("+4.000 s"));
        QCOMPARE(TimeForm::offsetText(-40), QStringLiteral("-0.040 s"));
        QCOMPARE(TimeForm::offsetText(-75250), QStringLiteral("-75.250 s"));
    }
};

QTEST_MAIN(TestQTMovieSubView)
#include "tst_qtmoviesubview.moc"
