#pragma once

#include "panes/QTMovieSubView.h"

#include <QString>

#include <optional>

namespace tetrapan {

class DialogPresenter;
class FileViewer;

// A pane's files within the selected playlist: opening a file into the pane records it as the playlist's
// entry for the pane, removing empties both, copying hands the file to another pane. The pane itself only
// loads and shows movies.
class PanePlacing {
public:
    // A recording whose folder goes away while the pane shows it stops the pane, with an alert; the pane's
    // opening is made before this.
    PanePlacing(QTMovieSubView& pane, DialogPresenter& dialogs, FileViewer& fileViewer);

    using OpenOutcome = QTMovieSubView::OpenOutcome;
    using Opened = QTMovieSubView::Opened;

    // Loads the file and records it as the selected playlist's entry for this pane; the alerts say why not.
    void createMovieFrame(const QString& path);
    // The same within the given playlist, without alerts: the problem is "<file>: <why>" when the file
    // cannot be shown. A refused file leaves the pane and the playlist's entry for it as they were. A
    // recording that opened without some of its files names them so too, with the outcome Opened.
    void placeMovieFile(const QString& path, const QString& uniqueId, Opened done);
    // The identifier of the selected playlist that files are placed in. With no playlist or a folder
    // selected, shows the alert that offers to open the playlist window and answers nothing.
    std::optional<QString> playlistForPlacing();

    // The pane menu's commands.
    void openMovieFile();
    // sender: a QAction whose data(), or an object whose "representedObject" property, is the target pane.
    void copyMovieView(QObject* sender);
    void removeMovieView();
    void showFileWithFinder();

private:
    QTMovieSubView& pane_;
    DialogPresenter& dialogs_;
    FileViewer& fileViewer_;
};

} // namespace tetrapan
