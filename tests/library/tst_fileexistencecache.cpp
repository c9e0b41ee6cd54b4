// Presence checks on threads of the cache's own: checks hung on a dead network mount hold neither the
// answers for other paths nor the cache's end, nor the program's. The hung checks block on a gate the test
// opens, so every case is deterministic (and runs under ThreadSanitizer as it is).
#include "FakeScheduler.h"

#include "library/FileExistenceCache.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <condition_variable>
#include <mutex>

using namespace tetrapan;
using namespace std::chrono_literals;

namespace {

const QString Dead = QStringLiteral("/dead-mount/");

// Checks of paths under Dead hang until the gate opens, as on a mount whose server went away; others ask
// the file system.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int hung = 0;
    int returned = 0;

    FileExistenceCache::Check check()
    {
        return [this](const QString& path) {
            if (!path.startsWith(Dead))
                return QFileInfo::exists(path);
            std::unique_lock lock(mutex);
            ++hung;
            opened.wait(lock, [this] { return open; });
            ++returned;
            return false;
        };
    }
    int count(int Gate::*field)
    {
        std::lock_guard lock(mutex);
        return this->*field;
    }
    void release()
    {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
    }
};

// The program's last moments with a check hung for good: the event loop ends, everything goes out of scope.
int quitWithACheckHung()
{
    // never opened, and never freed: the hung thread waits on it until the process ends
    static Gate* const gate = new Gate;
    test::FakeScheduler scheduler;
    {
        FileExistenceCache cache(scheduler, gate->check());
        cache.isPresent(Dead + QStringLiteral("movie.mp4"));
        while (gate->count(&Gate::hung) == 0)
            QThread::yieldCurrentThread();
    }
    return 0;
}

} // namespace

class TestFileExistenceCache : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Two rows of a dead share shown, or more than the threads there are: a local file is still answered.
    void hungChecksHoldNoOtherAnswer_data()
    {
        QTest::addColumn<int>("hanging");
        QTest::newRow("two") << 2;
        QTest::newRow("more than the threads") << FileExistenceCache::MaxCheckThreads + 1;
    }
    void hungChecksHoldNoOtherAnswer()
    {
        QFETCH(int, hanging);
        Gate gate;
        // a failed step still lets the hung checks return before the gate goes
        const auto letThemGo = qScopeGuard([&gate] {
            gate.release();
            QTRY_COMPARE(gate.count(&Gate::returned), gate.count(&Gate::hung));
        });
        test::FakeScheduler scheduler;
        FileExistenceCache cache(scheduler, gate.check());
        QSignalSpy changes(&cache, &FileExistenceCache::presenceChanged);
        const QString first = Dead + QStringLiteral("a.mp4");
        for (int n = 0; n < hanging; ++n)
            QVERIFY(cache.isPresent(
                Dead + QStringLiteral("%1.mp4").arg(n == 0 ? QStringLiteral("a") : QString::number(n))));
        QTRY_COMPARE(gate.count(&Gate::hung), std::min(hanging, FileExistenceCache::MaxCheckThreads));
        // past UnknownAfter the hung checks' threads are made up for
        scheduler.advance(FileExistenceCache::UnknownAfter);
        QTRY_COMPARE(gate.count(&Gate::hung), hanging);

        QTemporaryDir local;
        const QString missing = local.filePath(QStringLiteral("gone.mp4"));
        QElapsedTimer answering;
        answering.start();
        QVERIFY(cache.isPresent(missing));
        QVERIFY(changes.wait(1000));
        qInfo("a local missing file answered in %lld ms beside two hung checks", answering.elapsed());
        QVERIFY(answering.elapsed() <= 1000);
        QCOMPARE(changes.count(), 1);
        QVERIFY(!cache.isPresent(missing));

        // the hung paths keep their last answer, and are not asked again (no thread more) while they hang
        scheduler.advance(FileExistenceCache::RememberFor);
        QVERIFY(cache.isPresent(first));
        QCoreApplication::processEvents();
        QCOMPARE(gate.count(&Gate::hung), hanging);
        gate.release();
        QTRY_VERIFY(!cache.isPresent(first));
        QTRY_COMPARE(gate.count(&Gate::returned), hanging);
    }

    // Answers that come after the cache is gone reach nothing (the sanitizer builds would see a use of the
    // dead cache), and the cache does not wait for them to go.
    void theCacheGoesAtOnceWhileChecksHang()
    {
        Gate gate;
        test::FakeScheduler scheduler;
        QElapsedTimer going;
        {
            FileExistenceCache cache(scheduler, gate.check());
            cache.isPresent(Dead + QStringLiteral("a.mp4"));
            cache.isPresent(Dead + QStringLiteral("b.mp4"));
            QTRY_COMPARE(gate.count(&Gate::hung), 2);
            going.start();
        }
        QVERIFY(going.elapsed() < 100);
        gate.release();
        QTRY_COMPARE(gate.count(&Gate::returned), 2);
    }

    void theProgramQuitsWithACheckHung()
    {
        QProcess program;
        QElapsedTimer quitting;
        quitting.start();
        program.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--quit-with-a-check-hung")});
        QVERIFY(program.waitForFinished(10000));
        qInfo("quit in %lld ms with a check hung", quitting.elapsed());
        QVERIFY(quitting.elapsed() <= 2000);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--quit-with-a-check-hung") == 0)
        return quitWithACheckHung();
    TestFileExistenceCache test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fileexistencecache.moc"
