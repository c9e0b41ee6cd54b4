#include "LibrarySaver.h"

#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tetrapan::test {

LibrarySaver::LibrarySaver(const QString& program, const QString& libraryPath, int saves)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        failure_ = QStringLiteral("no pipe");
        return;
    }
    // everything exec needs is made before the fork: the child only calls what is safe there
    const QByteArray programPath = QFile::encodeName(program);
    const QByteArray file = QFile::encodeName(libraryPath);
    const QByteArray count = QByteArray::number(saves);
    char* const argv[] = {const_cast<char*>(programPath.constData()), const_cast<char*>(file.constData()),
                          const_cast<char*>(count.constData()), nullptr};
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(6);
        dup2(fds[1], STDOUT_FILENO);
        execv(argv[0], argv);
        _exit(7);
    }
    close(fds[1]);
    fd_ = fds[0];
    if (pid_ < 0)
        failure_ = QStringLiteral("fork failed");
}

LibrarySaver::~LibrarySaver()
{
    if (pid_ > 0)
        kill();
    if (fd_ >= 0)
        close(fd_);
}

bool LibrarySaver::readSome(int timeoutMs)
{
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    pending_.append(buffer, n);
    takeLines();
    return true;
}

void LibrarySaver::takeLines()
{
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QList<QByteArray> words = pending_.left(end).split(' ');
        pending_.remove(0, end + 1);
        const qsizetype value = words.value(1).toLongLong();
        if (words.front() == "loaded")
            report_.loaded = value;
        else if (words.front() == "saving")
            report_.lastBegun = value;
        else if (words.front() == "saved") {
            report_.lastFinished = value;
            report_.saveMicros.append(words.value(2).toLongLong());
        }
    }
}

bool LibrarySaver::waitUntilLoaded()
{
    while (failure_.isEmpty() && report_.loaded < 0) {
        if (!readSome(30000)) {
            reap(false);
            failure_ = QStringLiteral("the saver did not read the library");
        }
    }
    return failure_.isEmpty();
}

LibrarySaver::Report LibrarySaver::kill()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        reap(true);
    }
    // what it wrote before it died is still in the pipe
    while (fd_ >= 0 && readSome(0)) {
    }
    return report_;
}

void LibrarySaver::reap(bool wasKilled)
{
    if (pid_ <= 0)
        return;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    report_.killed = wasKilled && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

} // namespace tetrapan::test
