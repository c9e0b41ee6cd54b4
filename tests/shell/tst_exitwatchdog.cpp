// Tearing down after quitting is bounded: a process whose teardown hangs (a movie core stuck in a sound
// server, a driver) is ended with the status it meant to exit with; one that finishes in time is not.
#include "shell/ExitWatchdog.h"

#include <QTest>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tetrapan;
using namespace std::chrono_literals;

namespace {

// Runs the teardown in a child process and answers its exit status, or -1 when it did not exit by itself
// within a generous time.
int exitStatusOf(std::chrono::milliseconds teardown, int status)
{
    const pid_t child = fork();
    if (child == 0) {
        {
            ExitWatchdog watchdog;
            watchdog.arm(200ms, status);
            std::this_thread::sleep_for(teardown);
        }
        _exit(0);
    }
    for (int waited = 0; waited < 100; ++waited) {
        int result = 0;
        if (waitpid(child, &result, WNOHANG) == child)
            return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        std::this_thread::sleep_for(50ms);
    }
    ::kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
}

} // namespace

class TestExitWatchdog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endsATeardownThatHangs() { QCOMPARE(exitStatusOf(std::chrono::hours(1), 3), 3); }
    void letsATeardownInTimeFinish() { QCOMPARE(exitStatusOf(10ms, 3), 0); }
};

QTEST_GUILESS_MAIN(TestExitWatchdog)
#include "tst_exitwatchdog.moc"
