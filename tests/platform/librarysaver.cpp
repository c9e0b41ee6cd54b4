// The saving half of the killed-save test in tst_xmlstore: opens the library through the program's own
// store, then grows it by one playlist and its file entry and saves, over and over, telling its parent on
// stdout what it is doing so the parent knows which libraries may be on disk when it kills this process.
//   loaded <playlists>         the library was read
//   saving <playlists>         a save of that many playlists begins
//   saved <playlists> <us>     it ended, after that many microseconds
// Usage: librarysaver <library file> <number of saves>
#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/StoreCoordinator.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <unistd.h>

using namespace tetrapan;

namespace {

// Straight to the pipe: a line in a stdio buffer would die with the process.
void tell(const QByteArray& line)
{
    const QByteArray text = line + '\n';
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.constData() + done, text.size() - done);
        if (n <= 0)
            _exit(5);
        done += n;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: librarysaver <library file> <number of saves>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int saves = QByteArray(argv[2]).toInt();

    StoreCoordinator coordinator(LibrarySchema::model());
    StoreError error;
    if (!coordinator.addXmlStore(path, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.text()));
        return 3;
    }
    ObjectContext context(coordinator);
    qsizetype playlists = context.fetch(LibrarySchema::Playlist).size();
    tell("loaded " + QByteArray::number(playlists));

    for (int i = 0; i < saves; ++i) {
        ++playlists;
        const QString number = QString::number(playlists);
        const ObjectId playlist = context.insertNewObject(LibrarySchema::Playlist);
        context.setValue(playlist, LibrarySchema::Title, QStringLiteral("playlist ") + number);
        context.setValue(playlist, LibrarySchema::Index, static_cast<int>(playlists));
        context.setValue(playlist, LibrarySchema::UniqueId, number.rightJustified(8, QLatin1Char('0')));
        const ObjectId entry = context.insertNewObject(LibrarySchema::Filelist);
        context.setValue(entry, LibrarySchema::UniqueId, number.rightJustified(8, QLatin1Char('0')));
        context.setValue(entry, LibrarySchema::FilePath, QStringLiteral("/clips/movie %1.mp4").arg(number));
        context.setValue(entry, LibrarySchema::ViewNo, static_cast<int>(playlists % 4 + 1));
        context.addRelatedObject(playlist, LibrarySchema::RltFilelist, entry);
        // one save per user action, as the program saves
        context.processPendingChanges();

        tell("saving " + QByteArray::number(playlists));
        QElapsedTimer timer;
        timer.start();
        if (!context.save(error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error.text()));
            return 4;
        }
        tell("saved " + QByteArray::number(playlists) + ' ' +
             QByteArray::number(timer.nsecsElapsed() / 1000));
    }
    return 0;
}
