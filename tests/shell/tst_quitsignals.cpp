// The signals that quit the program as Quit does reach the GUI thread as quit requests, and the handler
// leaves errno as the interrupted code had it, also when the signals come faster than they are taken.
// (The whole program saving and ending on each: tst_desktopapplication.)
#include "shell/UnixSignalWatcher.h"

#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <csignal>

using namespace tetrapan;

class TestQuitSignals : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void signalsBecomeQuitRequests_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("ignoredAtStart"); // started with nohup, or in the background by a script
        QTest::addColumn<bool>("requestsQuit");
        QTest::newRow("SIGTERM") << SIGTERM << false << true;
        QTest::newRow("SIGINT") << SIGINT << false << true;
        QTest::newRow("SIGHUP") << SIGHUP << false << true;
        QTest::newRow("SIGHUP under nohup") << SIGHUP << true << false;
        QTest::newRow("SIGINT of a background job") << SIGINT << true << false;
    }
    void signalsBecomeQuitRequests()
    {
        QFETCH(int, number);
        QFETCH(bool, ignoredAtStart);
        QFETCH(bool, requestsQuit);
        std::signal(number, ignoredAtStart ? SIG_IGN : SIG_DFL);
        {
            UnixSignalWatcher watcher;
            QSignalSpy requests(&watcher, &UnixSignalWatcher::quitRequested);
            // Far more than the socket holds before the event loop drains it: the handler's writes start to
            // fail, and errno must not tell.
            constexpr int Storm = 5000;
            for (int n = 0; n < Storm; ++n) {
                errno = EINVAL;
                std::raise(number);
                QCOMPARE(errno, EINVAL);
            }
            if (!requestsQuit) {
                QCoreApplication::processEvents();
                QCOMPARE(requests.count(), 0);
            } else {
                QTRY_VERIFY(!requests.isEmpty());
                QVERIFY(requests.count() < Storm);
                QCOMPARE(requests.first().first().toInt(), number);
            }
        }
        // as it was before the watcher
        struct sigaction after {};
        ::sigaction(number, nullptr, &after);
        QVERIFY(after.sa_handler == (ignoredAtStart ? SIG_IGN : SIG_DFL));
        std::signal(number, SIG_DFL);
    }
};

QTEST_GUILESS_MAIN(TestQuitSignals)
#include "tst_quitsignals.moc"
