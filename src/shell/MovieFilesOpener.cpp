#include "shell/MovieFilesOpener.h"

#include "library/LibrarySchema.h"
#include "library/RecordingSource.h"
#include "library/TBArrayController.h"
#include "library/dialogExtension.h"
#include "library/playlistTitles.h"
#include "panes/MovController.h"
#include "panes/PanePlacing.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/fileLooks.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/UndoStep.h"
#include "shell/cameraChoice.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMap>
#include <QPointer>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace tetrapan {

MovieFilesOpener::MovieFilesOpener(MovController& coordinator, Scheduler& scheduler, DialogPresenter& dialogs)
    : movController_(coordinator), scheduler_(scheduler), dialogs_(dialogs)
{
    static_assert(MaxFiles == MovController::PaneCount);
    connect(&movController_, &MovController::allMovieViewsChanged, this, [this] {
        if (hasPendingFiles())
            schedulePlacing();
    });
}

MovieFilesOpener::~MovieFilesOpener()
{
    scheduler_.cancel(placeTask_);
}

bool MovieFilesOpener::hasPendingFiles() const
{
    return !pending_.isEmpty() || placing_;
}

void MovieFilesOpener::openFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    Request request{paths, {}, {}};
    // A folder alone of several cameras' files: each camera a pane, as Open Camera Folder puts them; a folder
    // among others: the camera the user chooses. What each path is, and a folder's names, are read off the
    // window's thread: a share that hangs would freeze the window, and a folder of thousands of files takes a
    // while. The request waits.
    request.looked = std::make_shared<QFutureWatcher<LookedAt>>();
    // already on the event loop, as placing wants
    connect(request.looked.get(), &QFutureWatcherBase::finished, this, &MovieFilesOpener::placePendingFiles);
    request.looked->setFuture(QtConcurrent::run(&fileLooks::pool(), [paths] {
        LookedAt looked;
        for (const QString& given : paths)
            looked.append(cameraChoice::look(given));
        return looked;
    }));
    pending_.append(request);
    schedulePlacing();
}

void MovieFilesOpener::openCameraFolder(const QString& folder, const QMap<QString, QStringList>& found,
                                        const QStringList& cameras)
{
    if (cameras.isEmpty())
        return;
    pending_.append(cameraFolderRequest(folder, found, cameras));
    schedulePlacing();
}

MovieFilesOpener::Request MovieFilesOpener::cameraFolderRequest(const QString& folder,
                                                                const QMap<QString, QStringList>& found,
                                                                const QStringList& cameras)
{
    Request request{{}, QFileInfo(folder).fileName(), {}};
    for (const QString& camera : cameras.mid(0, MaxFiles))
        request.paths.append(cameraChoice::locator(folder, camera, found.value(camera)));
    return request;
}

void MovieFilesOpener::schedulePlacing()
{
    if (scheduler_.isPending(placeTask_))
        return;
    placeTask_ = scheduler_.scheduleAfter(PlaceDelay, [this] {
        placeTask_ = Scheduler::NoTask;
        placePendingFiles();
    });
}

void MovieFilesOpener::placePendingFiles()
{
    // the coordinator's load ends in allMovieViewsChanged, which brings the files back here
    // One request at a time: while its files open, or an alert of it waits for the user, the next may
    // arrive; it waits its turn in the list.
    if (placing_ || pending_.isEmpty() || movController_.hasPendingLoad())
        return;
    if (pending_.front().looked && !pending_.front().looked->future().isFinished())
        return;
    placing_ = true;
    Request request = pending_.takeFirst();
    resolved_.clear();
    if (request.looked) {
        const LookedAt looked = request.looked->result();
        for (int n = 0; n < request.paths.size() && n < looked.size(); ++n)
            resolved_.insert(request.paths.at(n), looked.at(n).path);
        if (request.paths.size() == 1 && looked.front().cameras.size() > 1)
            request = cameraFolderRequest(request.paths.front(), looked.front().cameras,
                                          looked.front().cameras.keys());
        else if (!oneCameraEach(request, looked))
            return placed({}, {});
    }
    placing(request.paths, request.newPlaylist);
}

bool MovieFilesOpener::oneCameraEach(Request& request, const LookedAt& looked)
{
    for (int n = 0; n < looked.size() && n < MaxFiles; ++n) {
        const cameraChoice::Cameras& found = looked.at(n).cameras;
        if (found.size() < 2)
            continue;
        // the files came from a panel or a drop just closed: the question comes up where the user just was
        QWidget* window = QApplication::activeWindow();
        const cameraChoice::Answer answer =
            cameraChoice::ask(request.paths.at(n), found, n + 1, QCursor::pos(), window);
        if (answer.cameraFolderDialog)
            cameraChoice::openInPanes(*this, request.paths.at(n), found, window);
        if (answer.locator.isEmpty())
            return false;
        request.paths[n] = answer.locator;
    }
    return true;
}

void MovieFilesOpener::placing(const QStringList& given, const QString& newPlaylist)
{
    // more files than panes: the first four go in, as the user would have picked them anyway, and the alert
    // names the rest rather than refusing them all
    const QStringList paths = given.mid(0, MaxFiles);
    if (given.size() > MaxFiles) {
        dialogExtension::displayMessage(dialogs_, dialogExtension::FiveOrMoreFilesAdded,
                                        given.mid(MaxFiles).join(QLatin1Char('\n')));
    }
    TBArrayController* library = movController_.tbArrayController();
    if (!library)
        return placed(paths, {});
    if (!library->isPlaylistSelected() && !playlistTree_) {
        // without the tree to make a playlist in, the panes' alert says what is missing
        if (QTMovieSubView* first = movController_.qtView(1))
            first->placing().playlistForPlacing();
        return placed(paths, {});
    }
    ObjectContext& context = *library->getManagedObjectContext(LibrarySchema::Playlist);
    // Opening, the new playlist it may need and its entries are one step for Edit > Undo; it stays open
    // while the files open.
    step_ = std::make_unique<UndoStep>(context, QStringLiteral("Open Movies"));
    changedTitle_.clear();
    if (!newPlaylist.isEmpty() && playlistTree_) {
        playlistTree_->addPlaylistNamed(newPlaylist);
        movController_.loadPendingPlaylist();
    } else if (library->isPlaylistSelected()) {
        // the notice names it as the tree does
        changedTitle_ = playlistTitles::shown(
            context.value(library->getSelectedObjects(LibrarySchema::Playlist).front(), LibrarySchema::Title)
                .toString());
    } else {
        playlistTree_->addPlaylistNamed(playlistTitleFor(paths));
        // the new playlist is empty: its load empties the panes now, not after the files are in
        movController_.loadPendingPlaylist();
    }
    const QList<ObjectId> chosen = library->getSelectedObjects(LibrarySchema::Playlist);
    if (chosen.isEmpty())
        return placed(paths, {});
    placeInPanes(paths, context.value(chosen.front(), LibrarySchema::UniqueId).toString());
}

void MovieFilesOpener::placeInPanes(const QStringList& paths, const QString& uniqueId)
{
    // One more than the opens until the loop is through: a pane may answer at once. By pane, in the panes'
    // order whatever order the answers come in.
    struct Answers {
        int waiting = 1;
        QMap<int, QString> problems;
        QMap<int, QString> leftOut; // recordings' files left out
        QMap<int, QString> changed;
    };
    auto answers = std::make_shared<Answers>();
    QPointer<MovieFilesOpener> alive(this);
    auto answered = [alive, answers, paths] {
        if (--answers->waiting == 0 && alive)
            alive->placed(paths, answers->problems.values(), answers->changed.values(),
                          answers->leftOut.values());
    };
    for (int viewNo = 1; viewNo <= paths.size(); ++viewNo) {
        QTMovieSubView* pane = movController_.qtView(viewNo);
        const QString path = resolved_.value(paths.at(viewNo - 1), paths.at(viewNo - 1));
        // as with a drop, a pane that already shows the file keeps it as it is
        if (!pane || (!path.isEmpty() && path == pane->filePath()))
            continue;
        ++answers->waiting;
        // A file that cannot be opened leaves its pane and its entry as they were: what the user had is
        // not lost for a file that was no movie.
        // the alert says what the pane still shows, so nobody wonders whether it was lost
        const QString kept =
            pane->filePath().isEmpty()
                ? QString()
                : QStringLiteral("Pane %1 keeps %2.")
                      .arg(viewNo)
                      .arg(QFileInfo(RecordingSource::shownName(pane->filePath())).fileName());
        const QString now = QStringLiteral("pane %1 now shows %2")
                                .arg(viewNo)
                                .arg(QFileInfo(RecordingSource::shownName(path)).fileName());
        pane->placing().placeMovieFile(
            path, uniqueId,
            [answers, answered, kept, now, viewNo](QTMovieSubView::OpenOutcome outcome,
                                                   const QString& problem) {
                if (outcome == QTMovieSubView::OpenOutcome::Refused)
                    answers->problems.insert(viewNo,
                                             kept.isEmpty() ? problem : problem + QLatin1Char('\n') + kept);
                else if (outcome == QTMovieSubView::OpenOutcome::Opened)
                    answers->changed.insert(viewNo, now);
                if (outcome == QTMovieSubView::OpenOutcome::Opened && !problem.isEmpty())
                    answers->leftOut.insert(viewNo, problem);
                answered();
            });
    }
    answered();
}

void MovieFilesOpener::placed(const QStringList& paths, const QStringList& problems,
                              const QStringList& changed, const QStringList& leftOut)
{
    const bool closesStep = step_ != nullptr;
    step_.reset();
    TBArrayController* library = movController_.tbArrayController();
    if (closesStep && library && !changedTitle_.isEmpty() && !changed.isEmpty()) {
        // the step just closed is the last one done
        const QUndoStack* stack = library->getManagedObjectContext(LibrarySchema::Playlist)->undoManager();
        changeStep_ = stack->command(stack->index() - 1);
        Q_EMIT playlistChanged(QStringLiteral("Playlist \u201C%1\u201D: %2.")
                                   .arg(changedTitle_, changed.join(QStringLiteral(", "))));
    }
    if (!problems.isEmpty())
        dialogExtension::displayMessage(dialogs_, dialogExtension::CanNotCreateMovie,
                                        problems.join(QLatin1Char('\n')));
    if (!leftOut.isEmpty())
        dialogExtension::displayMessage(dialogs_, dialogExtension::RecordingFilesLeftOut,
                                        leftOut.join(QLatin1Char('\n')));
    Q_EMIT filesOpened(paths);
    placing_ = false;
    if (!pending_.isEmpty())
        schedulePlacing();
}

void MovieFilesOpener::undoChange()
{
    TBArrayController* library = movController_.tbArrayController();
    QUndoStack* stack =
        library ? library->getManagedObjectContext(LibrarySchema::Playlist)->undoManager() : nullptr;
    if (stack && changeStep_ && stack->index() > 0 && stack->command(stack->index() - 1) == changeStep_)
        stack->undo();
    changeStep_ = nullptr;
}

QStringList MovieFilesOpener::movieMimeTypes()
{
    return {
        QStringLiteral("video/mp4"),       QStringLiteral("video/x-matroska"),
        QStringLiteral("video/webm"),      QStringLiteral("video/quicktime"),
        QStringLiteral("video/x-msvideo"), QStringLiteral("video/mpeg"),
        QStringLiteral("video/ogg"),       QStringLiteral("video/x-ogm+ogg"),
        QStringLiteral("video/x-flv"),     QStringLiteral("video/3gpp"),
        QStringLiteral("video/3gpp2"),     QStringLiteral("video/mp2t"),
        QStringLiteral("video/x-ms-wmv"),  QStringLiteral("application/vnd.ms-asf"),
        QStringLiteral("video/dv"),        QStringLiteral("video/x-theora+ogg"),
    };
}

QString MovieFilesOpener::playlistTitleFor(const QStringList& paths)
{
    for (const QString& path : paths) {
        const QString name = QFileInfo(RecordingSource::shownName(path)).completeBaseName();
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("New Playlist");
}

} // namespace tetrapan
