#include "OpenAndWait.h"
#include "FakeScheduler.h"
#include "TestClips.h"

#include "engine/MpvHandlePool.h"
#include "engine/MpvMovieEngine.h"
#include "engine/MpvNames.h"
#include "engine/MpvWorkers.h"
#include "library/Movie.h"

#include <QSet>
#include <QTest>
#include <QThread>

#include <mpv/client.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <mutex>
#include <thread>

using namespace tetrapan;
using tetrapan::test::TestClips;

// Ready mpv cores: the pool fills itself in the background, hands each core out once, refills, and a
// core taken from it opens files like a fresh one.
class TestMpvHandlePool : public QObject {
    Q_OBJECT

    TestClips clips_;
    MpvMovie::Options options_;

private Q_SLOTS:
    void initTestCase()
    {
        clips_ = TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
        options_.video = MpvVideoOutput::Null;
        options_.nullAudio = true;
        options_.workers = MpvWorkers::create();
        std::setlocale(LC_NUMERIC, "C");
    }

    void fillsTakesAndRefills()
    {
        MpvHandlePool pool(options_, 2);
        pool.refill(); // while the first two still start: they count, so no more start
        QVERIFY(options_.workers->waitForDone(std::chrono::seconds(30)));
        QCOMPARE(pool.readyCount(), 2);
        MpvOpenResult opened = MpvMovieOpener::openWaiting(clips_.colour(3), options_, pool.take());
        QVERIFY2(opened.movie, qPrintable(opened.error));
        QVERIFY(qAbs(opened.movie->duration().seconds() - TestClips::Seconds) < 0.1);
        // a bad file is still refused on a ready core
        QVERIFY(!MpvMovieOpener::openWaiting(clips_.still, options_, pool.take()).movie);
        QVERIFY(!pool.take());
        pool.refill();
        QTRY_COMPARE_WITH_TIMEOUT(pool.readyCount(), 2, 20000);
    }

    // A playlist's files are loaded side by side before the panes open them one by one; the same file in
    // two panes, an empty pane, a file nobody opens in the end and more files than ready cores all work out.
    // Starting cores takes the machine away from the files just loaded and from movies just started: the
    // engine refills its ready cores when its scheduler says so, once after a playlist's opens, later when
    // a movie starts meanwhile.
    void engineOpensPreparedFilesAndRefillsOnceAfterTheOpens()
    {
        test::FakeScheduler scheduler;
        MpvMovieEngine::Options options;
        options.movie = options_;
        options.scheduler = &scheduler;
        // where the files are looked at: never on this thread, which a stalled network folder would hold up
        std::mutex checking;
        QSet<QThread*> checkedOn;
        options.fileCheck = [&](const QString& path) {
            const std::lock_guard lock(checking);
            checkedOn.insert(QThread::currentThread());
            return MpvMovieEngine::readableMovieFile(path);
        };
        MpvMovieEngine engine(options);
        QTRY_COMPARE_WITH_TIMEOUT(engine.readyCoreCount(), 4, 20000);
        engine.prepareMovies({clips_.colour(1), clips_.colour(1), QString(), clips_.colour(2)});
        std::vector<std::unique_ptr<Movie>> movies;
        for (const QString& path : {clips_.colour(1), clips_.colour(1), clips_.colour(3), clips_.colour(4)}) {
            MovieOpenResult opened = test::openAndWait(engine, path);
            QVERIFY2(opened.movie, qPrintable(opened.error));
            QCOMPARE(opened.movie->filePath(), path);
            movies.push_back(std::move(opened.movie));
        }
        engine.discardPreparedMovies(); // green was never asked for
        QCOMPARE(engine.readyCoreCount(), 0);
        {
            const std::lock_guard lock(checking);
            QVERIFY(!checkedOn.isEmpty() && !checkedOn.contains(QThread::currentThread()));
        }
        QCOMPARE(scheduler.pendingCount(), 1);
        const auto firstDue = scheduler.nextDue();
        movies[0]->play();
        QCOMPARE(scheduler.pendingCount(), 1);
        QVERIFY(scheduler.nextDue() > firstDue);
        // stopping is no start
        const auto secondDue = scheduler.nextDue();
        movies[0]->stop();
        QCOMPARE(scheduler.nextDue(), secondDue);
        scheduler.advance(firstDue - scheduler.now());
        QCOMPARE(engine.readyCoreCount(), 0);
        scheduler.advance(scheduler.nextDue() - scheduler.now());
        QCOMPARE(scheduler.pendingCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(engine.readyCoreCount(), 4, 20000);
        MovieOpenResult later = test::openAndWait(engine, clips_.colour(2));
        QVERIFY2(later.movie, qPrintable(later.error));
        // Movies let go of: the memory their frames left is given back once, when the switch has settled.
        // Beside the refill for the later open, one for the four.
        movies.clear();
        QCOMPARE(scheduler.pendingCount(), 2);
        scheduler.advance(std::chrono::seconds(10));
        QCOMPARE(scheduler.pendingCount(), 0);
        QVERIFY(options_.workers->waitForDone(std::chrono::seconds(10)));
    }

    // Each pane's decoder gets its share of the machine among the panes holding movies, fixed when its file
    // loads: a movie alone decodes on every core, four share them, and a movie playing keeps its decoder
    // while others load.
    void decodersShareTheMachineAmongThePanes()
    {
        MpvMovieEngine::Options options;
        options.movie = options_;
        MpvMovieEngine engine(options);
        const int cores = QThread::idealThreadCount();
        const auto threadsOf = [](const std::unique_ptr<Movie>& movie) {
            char* value = mpv_get_property_string(static_cast<MpvMovie*>(movie.get())->handle(),
                                                  mpvname::DecoderThreads);
            const int threads = value ? QByteArray(value).toInt() : -1;
            mpv_free(value);
            return threads;
        };
        MovieOpenResult alone = test::openAndWait(engine, clips_.colour(1));
        QVERIFY2(alone.movie, qPrintable(alone.error));
        QCOMPARE(threadsOf(alone.movie), cores);
        const QStringList four{clips_.colour(1), clips_.colour(2), clips_.colour(3), clips_.colour(4)};
        engine.prepareMovies(four);
        std::vector<std::unique_ptr<Movie>> panes;
        for (const QString& path : four) {
            MovieOpenResult opened = test::openAndWait(engine, path);
            QVERIFY2(opened.movie, qPrintable(opened.error));
            QCOMPARE(threadsOf(opened.movie), std::max(1, cores / 4));
            panes.push_back(std::move(opened.movie));
        }
        engine.discardPreparedMovies();
        QCOMPARE(threadsOf(alone.movie), cores);
        // the four are let go of: a file opened beside the one left, or in its place, has the machine again
        panes.clear();
        MovieOpenResult again = test::openAndWait(engine, clips_.colour(2));
        QVERIFY2(again.movie, qPrintable(again.error));
        QCOMPARE(threadsOf(again.movie), cores);
    }

    // Cores still starting when the pool goes away are shut down, not leaked or used after free.
    void goesAwayWhileStarting()
    {
        for (int i = 0; i < 3; ++i)
            MpvHandlePool pool(options_, 4);
        QVERIFY(options_.workers->waitForDone(std::chrono::seconds(30)));
    }

    // A core stuck in its shutdown (a sound server that never answers) holds up no one beyond a deadline.
    void waitingForStuckWorkHasADeadline()
    {
        auto workers = MpvWorkers::create();
        std::atomic<bool> release{false};
        workers->run([&release] {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        QVERIFY(!workers->waitForDone(std::chrono::milliseconds(50)));
        release = true;
        QVERIFY(workers->waitForDone(std::chrono::seconds(10)));
    }
};

QTEST_GUILESS_MAIN(TestMpvHandlePool)
#include "tst_mpvhandlepool.moc"
