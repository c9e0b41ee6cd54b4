#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/types.h>

namespace tetrapan::test {

// Runs the librarysaver program on a library file and kills it on demand, collecting what it said about
// its saves up to that moment. The saver dies with the test if the test dies first.
class LibrarySaver {
public:
    struct Report {
        qsizetype loaded = -1;       // playlists in the library it read
        qsizetype lastBegun = -1;    // playlists of the last save it began; -1 for none
        qsizetype lastFinished = -1; // playlists of the last save that ended; -1 for none
        QList<qint64> saveMicros;    // how long each finished save took
        bool killed = false;         // false when it ended by itself
    };

    LibrarySaver(const QString& program, const QString& libraryPath, int saves = 1000);
    ~LibrarySaver();
    LibrarySaver(const LibrarySaver&) = delete;
    LibrarySaver& operator=(const LibrarySaver&) = delete;

    // Until it has read the library; false (see failure) when it could not.
    bool waitUntilLoaded();
    Report kill();

    const Report& report() const { return report_; }
    QString failure() const { return failure_; }

private:
    bool readSome(int timeoutMs);
    void takeLines();
    void reap(bool wasKilled);

    pid_t pid_ = -1;
    int fd_ = -1;
    QByteArray pending_;
    Report report_;
    QString failure_;
};

} // namespace tetrapan::test
