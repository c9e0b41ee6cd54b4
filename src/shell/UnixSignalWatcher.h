#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

namespace tetrapan {

// Turns SIGTERM, SIGINT and SIGHUP (logout, shutdown, Ctrl+C in a terminal, the terminal closed) into a Qt
// signal on the GUI thread, so they take the same quit path as the Quit command and save what is not saved
// yet. SIGHUP is left alone when the program was started ignoring it (nohup). Only one watcher may exist in
// a process.
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
    QList<int> watched_;
};

} // namespace tetrapan
