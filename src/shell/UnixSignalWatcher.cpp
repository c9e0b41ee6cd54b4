#include "shell/UnixSignalWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tetrapan {

namespace {

// The one thing a signal handler may touch: the write end of the socket pair.
volatile sig_atomic_t signalWriteFd = -1;

// The signals that end the program as Quit does: the session ending or a logout (SIGTERM), Ctrl+C in a
// terminal (SIGINT), and the terminal closed or the session hung up (SIGHUP).
constexpr int QuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number)
{
    // The interrupted code may be about to read errno; a write into a full socket would change it.
    const int savedErrno = errno;
    const int fd = signalWriteFd;
    if (fd >= 0) {
        const char byte = static_cast<char>(number);
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

UnixSignalWatcher::UnixSignalWatcher(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0) {
        qWarning("could not watch for quit signals");
        return;
    }
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    ::fcntl(fds_[1], F_SETFL, O_NONBLOCK);
    signalWriteFd = fds_[1];
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UnixSignalWatcher::drain);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : QuitSignals) {
        struct sigaction previous {};
        ::sigaction(number, nullptr, &previous);
        // A signal ignored at start is meant to be: nohup's SIGHUP, so the program outlives its terminal;
        // SIGINT of a program a script started in the background, which the script's Ctrl+C is not for.
        if (previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(number, &action, nullptr);
        watched_.append({number, previous});
    }
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    if (fds_[0] < 0)
        return;
    for (const auto& [number, previous] : std::as_const(watched_))
        ::sigaction(number, &previous, nullptr);
    signalWriteFd = -1;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void UnixSignalWatcher::drain()
{
    char byte = 0;
    while (::read(fds_[0], &byte, 1) == 1)
        Q_EMIT quitRequested(byte);
}

} // namespace tetrapan
