#pragma once

#include <QObject>

class QSocketNotifier;

namespace tetrapan {

// Turns SIGTERM and SIGINT (logout, shutdown, Ctrl+C in a terminal) into a Qt signal on the GUI thread,
// so they take the same quit path as the Quit command. Only one watcher may exist in a process.
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
};

} // namespace tetrapan
