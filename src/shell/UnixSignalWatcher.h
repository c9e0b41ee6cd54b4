#pragma once

#include <QList>
#include <QObject>

#include <csignal>
#include <utility>

class QSocketNotifier;

namespace tetrapan {

// Turns SIGTERM, SIGINT and SIGHUP (logout, shutdown, Ctrl+C in a terminal, the terminal closed) into a Qt
// signal on the GUI thread, so they take the same quit path as the Quit command and save what is not saved
// yet. A signal the program was started ignoring is left alone (nohup's SIGHUP, the SIGINT of a program a
// script started in the background); each is handled as before once the watcher goes. Only one watcher may
// exist in a process.
class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalWatcher(QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void quitRequested(int signalNumber);

private:
    void drain();

    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    // each signal watched, and how it was handled before
    QList<std::pair<int, struct sigaction>> watched_;
};

} // namespace tetrapan
