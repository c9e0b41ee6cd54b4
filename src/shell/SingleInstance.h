#pragma once

#include <QDBusConnection>
#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <chrono>

namespace tetrapan {

// One Tetrapan per library. Two programs writing the same library in turn would each save their own copy
// over the other's changes, and their settings likewise. The first program takes a lock next to the
// library and offers the desktop's application interface (org.freedesktop.Application) on the session bus;
// a later one hands its files, or only the wish to be shown, to that program and ends, or, when it cannot
// reach it, ends without reading or writing anything.
//
// The lock (QLockFile) records the holder's process, so the lock of a program that crashed or was killed is
// taken over at the next start, and it does not age: a program that runs for days keeps it.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First,      // this program owns the library
        HandedOver, // the program that owns it took the request
        Refused,    // another program owns it and could not be reached
    };

    static constexpr std::chrono::milliseconds HandOverTimeout{10000};
    static const QString ObjectPath;
    static const QString Interface;
    // The desktop file's name, the windows' application id and the bus name.
    static QString serviceName();
    static QString lockFileName() { return QStringLiteral("Tetrapan.lock"); }

    SingleInstance(const QString& libraryFolder, const QDBusConnection& bus);
    ~SingleInstance() override;

    // files: local paths for panes 1 to 4, as the command line gives them.
    Role start(const QStringList& files);
    QString lockFilePath() const { return lockFilePath_; }

    // What the interface's callers ask of the first program. Open takes URIs (file:// or paths). Files that
    // arrive before the program listens (a call answered in an alert's event loop while the windows are
    // still being made) wait for listen().
    void activate(const QVariantMap& platformData);
    void open(const QStringList& uris, const QVariantMap& platformData);
    // From now on requests are signalled; those that came before are signalled now.
    void listen();

Q_SIGNALS:
    void activateRequested();
    // Local paths in the order given; "" for what is no local file.
    void openRequested(const QStringList& paths);

private:
    void offerOnBus();
    bool handOver(const QStringList& files);
    static QVariantMap platformData();

    QString lockFilePath_;
    QLockFile lock_;
    QDBusConnection bus_;
    bool offered_ = false;
    bool listening_ = false;
    QList<QStringList> waiting_;
};

} // namespace tetrapan
