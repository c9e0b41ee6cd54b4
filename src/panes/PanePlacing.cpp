#include "panes/PanePlacing.h"

#include "library/LibrarySchema.h"
#include "library/RecordingSource.h"
#include "library/TBArrayController.h"
#include "library/dialogExtension.h"
#include "library/fileAttributeExtension.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneOpening.h"
#include "platform/DialogPresenter.h"
#include "platform/FileViewer.h"
#include "platform/ObjectContext.h"
#include "platform/Predicate.h"

#include <QAction>

namespace tetrapan {

PanePlacing::PanePlacing(QTMovieSubView& pane, DialogPresenter& dialogs, FileViewer& fileViewer)
    : pane_(pane), dialogs_(dialogs), fileViewer_(fileViewer)
{
    QObject::connect(&pane_.opening(), &PaneOpening::recordingFolderRemoved, &pane_,
                     [this](const QString& path, const QString& folder) {
                         if (path != pane_.filePath())
                             return;
                         pane_.clearMovieView();
                         const dialogExtension::AlertText& alert = dialogExtension::RecordingFolderRemoved;
                         dialogExtension::displayMessage(dialogs_, alert.style, alert.message,
                                                         alert.info.arg(folder).arg(pane_.viewNo()),
                                                         alert.btnList);
                     });
}

void PanePlacing::createMovieFrame(const QString& path)
{
    const std::optional<QString> uniqueId = playlistForPlacing();
    if (!uniqueId)
        return;
    placeMovieFile(path, *uniqueId, [this](OpenOutcome outcome, const QString& problem) {
        if (outcome == OpenOutcome::Refused)
            dialogExtension::displayMessage(dialogs_, dialogExtension::CanNotCreateMovie, problem);
        else if (outcome == OpenOutcome::Opened && !problem.isEmpty())
            dialogExtension::displayMessage(dialogs_, dialogExtension::RecordingFilesLeftOut, problem);
    });
}

void PanePlacing::placeMovieFile(const QString& path, const QString& uniqueId, Opened done)
{
    // The movie is loaded first, so the entry takes its title and play time from it.
    pane_.createMovieView(path, [this, path, uniqueId, done = std::move(done)](OpenOutcome outcome,
                                                                               const QString& problem) {
        QString said = problem;
        if (outcome == OpenOutcome::Refused) {
            said = path.isEmpty() ? problem
                                  : QStringLiteral("%1: %2").arg(RecordingSource::shownName(path), problem);
            qWarning("Cannot open a movie in pane %d: %s", pane_.viewNo(), qPrintable(said));
        } else if (outcome == OpenOutcome::Opened) {
            TBArrayController* library = pane_.tbArrayController();
            // a playlist deleted, or its making undone, while the movie opened takes no entry of no playlist
            const ObjectContext* playlists = library->getManagedObjectContext(LibrarySchema::Playlist);
            if (!playlists
                     ->fetch(LibrarySchema::Playlist, Predicate::equals(LibrarySchema::UniqueId, uniqueId))
                     .isEmpty()) {
                library->createFilelist(pane_.viewNo(), pane_.movie(), path, uniqueId);
                if (!pane_.opening().recording().isEmpty())
                    library->noteRecording(pane_.viewNo(), uniqueId, pane_.opening().recording());
            }
            pane_.setFilePath(path);
            if (!problem.isEmpty())
                said = QStringLiteral("%1:\n%2").arg(RecordingSource::shownName(path), problem);
        }
        if (done)
            done(outcome, said);
    });
}

std::optional<QString> PanePlacing::playlistForPlacing()
{
    TBArrayController* library = pane_.tbArrayController();
    const QList<ObjectId> selected =
        library ? library->getSelectedObjects(LibrarySchema::Playlist) : QList<ObjectId>();
    ObjectContext* context = library ? library->getManagedObjectContext(LibrarySchema::Playlist) : nullptr;
    const bool isFolder =
        !selected.isEmpty() && context && context->value(selected.front(), LibrarySchema::IsFolder).toBool();
    if (selected.isEmpty() || !context || isFolder) {
        const dialogExtension::AlertText& alert =
            isFolder ? dialogExtension::FolderIsSelected : dialogExtension::PlaylistIsNotSelected;
        if (dialogExtension::displayMessage(dialogs_, alert) == DialogPresenter::FirstButton &&
            pane_.movController())
            pane_.movController()->openPlaylistWindow();
        return std::nullopt;
    }
    return context->value(selected.front(), LibrarySchema::UniqueId).toString();
}

void PanePlacing::openMovieFile()
{
    // asked before the file is chosen: a file chosen and then dropped for want of a playlist is lost work
    if (!playlistForPlacing())
        return;
    const QStringList paths =
        dialogExtension::selectFilePath(dialogs_, true, false, false, false, true, QString());
    if (paths.isEmpty())
        return;
    const QString resolved = fileAttributeExtension::resolveAliasFileWithPath(paths.front());
    createMovieFrame(resolved.isNull() ? paths.front() : resolved);
}

void PanePlacing::copyMovieView(QObject* sender)
{
    if (!sender || !pane_.movController())
        return;
    const auto* action = qobject_cast<const QAction*>(sender);
    const int target = (action ? action->data() : sender->property("representedObject")).toInt();
    pane_.movController()->copyMovieView(pane_.viewNo(), pane_.filePath(), target);
}

void PanePlacing::removeMovieView()
{
    // the entry goes only while the pane shows it: a playlist just chosen, its movies still to come, keeps
    // the one its pane is to show
    const MovController* panes = pane_.movController();
    const bool showsEntry = !panes || panes->offsets().entry(pane_.viewNo()) != NoObject;
    if (TBArrayController* library = pane_.tbArrayController(); library && showsEntry) {
        const QList<ObjectId> selected = library->getSelectedObjects(LibrarySchema::Playlist);
        ObjectContext* context = library->getManagedObjectContext(LibrarySchema::Playlist);
        if (!selected.isEmpty() && context)
            library->removeFilelist(pane_.viewNo(),
                                    context->value(selected.front(), LibrarySchema::UniqueId).toString());
    }
    pane_.clearMovieView();
}

void PanePlacing::showFileWithFinder()
{
    // a recording's camera or chosen files are shown as their folder
    const QString path = RecordingSource::entryFields(pane_.filePath()).filePath;
    if (fileAttributeExtension::checkFileExists(path) > 0)
        fileViewer_.selectFile(path);
    else
        dialogExtension::displayMessage(dialogs_, dialogExtension::FileIsNotFound);
}

} // namespace tetrapan
