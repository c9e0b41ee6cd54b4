#pragma once

#include <QDBusConnection>
#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include "shell/commandLine.h"

#include <chrono>
#include <functional>
#include <memory>

namespace tetrapan {

// One Tetrapan per library. Two programs writing the same library in turn would each save their own copy
// over the other's changes, and their settings likewise. The first program takes a lock next to the
// library and offers the desktop's application interface (org.freedesktop.Application) on the session bus;
// a later one hands its files, or only the wish to be shown, to that program and ends, or, when it cannot
// reach it, ends without reading or writing anything.
//
// The lock (QLockFile) records the holder's process, so the lock of a program that crashed or was killed is
// taken over at the next start, and it does not age: a program that runs for days keeps it. The lock of a
// program on another computer sharing the home cannot be checked so: it blocks every start until it is
// deleted, and the refusal names it (lockHolder). A lock file deleted while the program runs lets a second
// program take the library; lockLostReason tells the saves, which then refuse to write over its changes.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First,      // this program owns the library
        HandedOver, // the program that owns it took the request
        Refused,    // another program owns it and could not be reached
        Unusable,   // the lock file is no regular file (unusableReason says what it is)
    };

    static constexpr std::chrono::milliseconds HandOverTimeout{10000};
    // How long a launch waits for a program that holds the library but has gone from the bus (it is
    // quitting) to end, so as to start in its place; and how often it looks.
    static constexpr std::chrono::milliseconds QuittingWait{10000};
    static constexpr std::chrono::milliseconds QuittingLook{100};
    static const QString ObjectPath;
    static const QString Interface;
    // The desktop file's name, the windows' application id and the bus name.
    static QString serviceName();
    static QString lockFileName() { return QStringLiteral("Tetrapan.lock"); }

    SingleInstance(const QString& libraryFolder, const QDBusConnection& bus);
    ~SingleInstance() override;

    // The bus's error for a command refused by name.
    static const QString RefusedError;
    // A launch names the playlist to choose in this entry of ActivateAction's platform data (with no action
    // name for a playlist alone).
    static const QString PlaylistEntry;

    // files: local paths for panes 1 to 4, as the command line gives them.
    Role start(const QStringList& files)
    {
        commandLine::Request request;
        request.files = files;
        return startFor(request);
    }
    // The request's files and playlist, and its command by name.
    Role startFor(const commandLine::Request& request);
    // Handed over, but the program refused the command: why; else "".
    QString refusal() const { return refusal_; }
    QString lockFilePath() const { return lockFilePath_; }
    QString unusableReason() const { return unusableReason_; }
    // Who holds the lock as its file says: "process 123 on the computer \"host\""; empty when it cannot be
    // read.
    QString lockHolder() const;
    // Empty while the lock file is still this program's, or when it never was (a folder where no lock can be
    // made, where saves fail by themselves); else why it no longer is.
    QString lockLostReason() const;

    // What the interface's callers ask of the first program. Open takes URIs (file:// or paths). Files that
    // arrive before the program listens (a call answered in an alert's event loop while the windows are
    // still being made) wait for listen().
    void activate(const QVariantMap& platformData);
    void open(const QStringList& uris, const QVariantMap& platformData);
    // From now on requests are signalled; those that came before are signalled now.
    void listen();
    // The program is quitting: it leaves the bus, and a launch from now on waits for it to end and starts in
    // its place, rather than handing its files to a program that drops them.
    void stopTakingFiles();

    // A command by name (parameter: the pane's number for a pane's command), or a playlist to choose:
    // answer is called once, with "" when done, else why it was refused. Refused while the program is not yet
    // listening.
    using Answer = std::function<void(const QString& refusal)>;
    using Handler = std::function<void(const commandLine::Request& request, const Answer& answer)>;
    void setCommandHandler(Handler handler) { commandHandler_ = std::move(handler); }
    void activateAction(const QString& name, const QVariantList& parameter, const QVariantMap& platformData,
                        const Answer& answer);

Q_SIGNALS:
    void activateRequested();
    // Local paths in the order given; "" for what is no local file.
    void openRequested(const QStringList& paths);

private:
    void offerOnBus();
    bool handOver(const commandLine::Request& request);
    // Whether the lock file, naming the host given, was made on this computer: by the machine's id that it
    // keeps, which stays when the computer is renamed while the program runs; by the host's name in a file
    // without one.
    bool lockMadeHere(const QString& host) const;
    // A lock file that names no process (one a power cut left empty before its lines reached the disk) and
    // dates from before the computer started: no program holds it, and QLockFile never takes such a file
    // over by itself.
    bool lockLeftBeforeBoot() const;
    static QVariantMap platformData();

    QString lockFilePath_;
    QString unusableReason_;
    std::unique_ptr<QLockFile> lock_;
    QDBusConnection bus_;
    bool offered_ = false;
    bool listening_ = false;
    QList<QStringList> waiting_;
    Handler commandHandler_;
    QString refusal_;
    // The last hand-over found the program holding the lock on this machine but no longer on the bus.
    bool holderLeftBus_ = false;
};

} // namespace tetrapan
