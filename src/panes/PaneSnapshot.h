#pragma once

#include "platform/AtomicFileWriter.h"
#include "platform/Scheduler.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <chrono>
#include <future>

namespace tetrapan {

class DialogPresenter;
class MovController;
class Movie;

// File > Save Snapshot: one PNG of the panes as the window shows them, dividers included (opaque, black where
// nothing is drawn, as on the screen), and one PNG per pane with a movie at the video's own size, named after
// the playlist and the time, in the user's pictures folder under "Tetrapan". The window's picture is taken
// at once; the panes' pictures come from the engine a moment later. The files are written when all have come
// (or the wait ran out), all of them or none: a folder that cannot be written is told in an alert and left as
// it was. They are encoded and written on a thread of their own (a 1080p picture took some 90 ms to encode
// here, and a snapshot holds up to five), and the snapshot is taken until they are. With no movie in any pane
// nothing is taken.
class PaneSnapshot : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds AnswerTimeout{5000};
    static constexpr const char* NoMovieText = "No snapshot taken: no pane holds a movie.";

    // calls: the system calls the files are written through.
    PaneSnapshot(MovController& panes, Scheduler& scheduler, DialogPresenter& dialogs,
                 QObject* parent = nullptr, const FileWriteCalls& calls = FileWriteCalls::system());
    ~PaneSnapshot() override;

    // Outlet: what the window shows of the panes.
    void setShownArea(QWidget* area) { shownArea_ = area; }
    // The current playlist's title, as the main window shows it.
    void setTitle(const QString& title) { title_ = title; }
    // The pictures folder + "/Tetrapan" unless set.
    void setFolder(const QString& folder) { folder_ = folder; }
    QString folder() const;

    void takeSnapshot();
    // Pictures of the panes are still awaited, or their files being written.
    bool isTaking() const { return waitTask_ != Scheduler::NoTask || writing_.valid(); }

    // "<title> yyyy-MM-dd HH-mm-ss" as a file name: no '/', no leading '.', no control characters, and
    // short enough to leave room for the rest of the name.
    static QString fileStem(const QString& title, const QDateTime& time);

Q_SIGNALS:
    // The files written, the window's picture first; none when nothing was written.
    void snapshotFinished(const QStringList& paths);
    // Nothing was taken, and why (just before snapshotFinished with no files).
    void snapshotNotTaken(const QString& why);

private:
    // What a snapshot's writing did: the files written, or why none was.
    struct Written {
        bool ok = true;
        QStringList paths;
        QString folder;
        QString why;
    };
    struct Pictures {
        QString folder;
        QString title;
        QDateTime takenAt;
        QList<std::pair<int, QImage>> images; // the window's (0) first, then the panes' by number
    };
    // A movie asked for its picture. An answer that comes after the wait ran out is still owed, and is not
    // taken for a later snapshot's.
    struct Asked {
        int viewNo = 0;
        bool awaited = false;
        int owed = 0;
        QMetaObject::Connection answer;
        QMetaObject::Connection gone;
    };
    static Written write(const Pictures& pictures, const FileWriteCalls& calls);
    void ask(int viewNo, Movie* movie);
    void paneImageArrived(Movie* movie, const QImage& image);
    void forget(Movie* movie);
    bool awaitsAny() const;
    void writeFiles();
    void filesWritten();

    MovController& panes_;
    Scheduler& scheduler_;
    DialogPresenter& dialogs_;
    QPointer<QWidget> shownArea_;
    QString title_;
    QString takenTitle_;
    QString folder_;

    // The snapshot being taken.
    QDateTime takenAt_;
    QImage shown_;
    QHash<int, QImage> paneImages_;
    QHash<Movie*, Asked> asked_;
    Scheduler::TaskId waitTask_ = Scheduler::NoTask;
    FileWriteCalls calls_;
    std::future<Written> writing_;
};

} // namespace tetrapan
