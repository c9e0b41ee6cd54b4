#pragma once

#include <QString>
#include <QStringList>

namespace tetrapan {

class DialogPresenter;

// Every question the program asks the user goes through these operations, which hold no state: a modal
// alert built from a style word, a message, an informative text and a comma-separated list of button
// titles, answered by DialogPresenter::FirstButton (1000) for the first title, 1001 for the second, ...;
// and the open panel, answered by the chosen paths.
namespace dialogExtension {

// One alert's fixed wording. All of the program's alerts are listed here so their texts live in one place.
struct AlertText {
    QString style;
    QString message;
    QString info;
    QString btnList;
};

inline const AlertText CanNotCreateItem{
    QStringLiteral("alert"), QStringLiteral("Can not create item."), {}, QStringLiteral("Cancel")};
inline const AlertText PlaylistIsNotSelected{
    QStringLiteral("alert"), QStringLiteral("Playlist is not selected"),
    QStringLiteral("Please create or select playlist."), QStringLiteral("Open Playlist,Cancel")};
inline const AlertText FolderIsSelected{QStringLiteral("alert"), QStringLiteral("Folder is selected"),
                                        QStringLiteral("Please select playlist."),
                                        QStringLiteral("Open Playlist,Cancel")};
inline const AlertText CanNotCreateMovie{QStringLiteral("alert"), QStringLiteral("Can not create movie."),
                                         QStringLiteral("Please check file."), QStringLiteral("Cancel")};
// A recording plays without the files named in the details: not movies, not opened, or overlapped.
inline const AlertText RecordingFilesLeftOut{
    QStringLiteral("alert"), QStringLiteral("Some files of the recording were left out."),
    QStringLiteral("The recording plays without the files named in the details."), QStringLiteral("OK")};
// %1: the folder, %2: the pane.
inline const AlertText RecordingFolderRemoved{
    QStringLiteral("alert"), QStringLiteral("A recording's folder was removed."),
    QStringLiteral("The folder %1 is gone: pane %2 stopped."), QStringLiteral("OK")};
inline const AlertText FileIsNotFound{
    QStringLiteral("alert"), QStringLiteral("File is not found."), {}, QStringLiteral("Cancel")};
// Show in File Manager when the desktop has nothing that shows files. %1: the file's folder.
inline const AlertText NoFileManager{QStringLiteral("alert"), QStringLiteral("No file manager answered."),
                                     QStringLiteral("The file is in the folder %1."), QStringLiteral("OK")};
inline const AlertText TwoOrMoreFilesAdded{
    QStringLiteral("alert"), QStringLiteral("Two or more files are added."),
    QStringLiteral("Please add only one file."), QStringLiteral("Cancel")};
// Files opened from outside (the command line, the file manager, the file table) fill panes 1 to 4 in order;
// of more, the first four are opened and the details name the others.
inline const AlertText FiveOrMoreFilesAdded{
    QStringLiteral("alert"), QStringLiteral("Five or more files are added."),
    QStringLiteral("The first four are opened, one for each pane; the others, named in the details, are left out."),
    QStringLiteral("OK")};
// Two programs writing one library would lose each other's changes. %1: the library's folder, %2: who holds
// its lock, %3: the lock file. A lock left by a computer that stopped while it ran is never taken over.
inline const AlertText TetrapanIsAlreadyRunning{
    QStringLiteral("alert"), QStringLiteral("Tetrapan is already running."),
    QStringLiteral(
        "Another Tetrapan (%2) is using the library in %1. Please use that one, or quit it first.\n\n"
        "If no Tetrapan runs there (its computer stopped while it ran), delete the lock file %3 and "
        "start Tetrapan again."),
    QStringLiteral("OK")};
// A lock file that is no regular file (a FIFO, a folder) would hold the start for ever, or forever fail. %1:
// the lock file, %2: what it is ("it is not a regular file but a FIFO").
inline const AlertText LockFileUnusable{
    QStringLiteral("alert"), QStringLiteral("Tetrapan cannot use its lock file."),
    QStringLiteral(
        "The lock file %1 cannot be used: %2. Delete it or move it away, and start Tetrapan again."),
    QStringLiteral("OK")};
inline const AlertText DeletePlaylist{
    QStringLiteral("alert"), QStringLiteral("Delete Playlist?"), {}, QStringLiteral("Delete,Cancel")};
inline const AlertText DeleteFolder{QStringLiteral("alert"), QStringLiteral("Delete Folder?"),
                                    QStringLiteral("All playlists in folder are deleted"),
                                    QStringLiteral("Delete,Cancel")};
inline const AlertText CantCreateMovie{QStringLiteral("alert"), QStringLiteral("Can`t create movie."),
                                       QStringLiteral("Check movie file."), QStringLiteral("Cancel")};
// A snapshot is saved whole or not at all. %1: the folder, %2: why it could not be written.
inline const AlertText CanNotSaveSnapshot{
    QStringLiteral("error"), QStringLiteral("Could not save the snapshot."),
    QStringLiteral("Nothing was saved in %1: %2"), QStringLiteral("OK")};

// File > Export Video. %1: why, in the export's own words (which pane, which file, the system's reason).
inline const AlertText CanNotExportVideo{QStringLiteral("error"), QStringLiteral("Could not export the video."),
                                         QStringLiteral("%1 Nothing was written."), QStringLiteral("OK")};
// File > Export Video, written with files of a recording that could not be read; the details name them.
inline const AlertText ExportedWithBlackFiles{
    QStringLiteral("alert"),
    QStringLiteral("The video was exported, with some files of a recording left black."),
    QStringLiteral("They could not be read, as when the recording plays."), QStringLiteral("OK")};
inline const AlertText NothingToExport{QStringLiteral("alert"), QStringLiteral("There is nothing to export."),
                                       QStringLiteral("Please choose a playlist with movies in its panes."),
                                       QStringLiteral("OK")};
inline const AlertText ExportIsRunning{QStringLiteral("alert"), QStringLiteral("A video is being exported."),
                                       QStringLiteral("Please wait for it to finish, or cancel it, first."),
                                       QStringLiteral("OK")};

// "alert" -> "icon_alert", "error" -> "icon_stop", any other word -> "icon_info".
QString iconNameForStyle(const QString& style);
// Split at "," exactly: no trimming, and "" gives one button with an empty title.
QStringList buttonTitles(const QString& btnList);

int displayMessage(DialogPresenter& presenter, const QString& style, const QString& message,
                   const QString& info, const QString& btnList);
int displayMessage(DialogPresenter& presenter, const AlertText& alert);
// The same alert with details the user can open: the files concerned and why, one a line.
int displayMessage(DialogPresenter& presenter, const AlertText& alert, const QString& details);
// As displayMessage with an image name in place of the style word; "" shows "icon_info".
int displayMessageWithIcon(DialogPresenter& presenter, const QString& imageName, const QString& message,
                           const QString& info, const QString& btnList);
int displayMessageAlertCreateMovie(DialogPresenter& presenter);

// The chosen paths in the panel's order; empty when cancelled. An empty defaultPath leaves the panel where
// the platform puts it.
QStringList selectFilePath(DialogPresenter& presenter, bool isFile, bool isDir, bool isMultiSel,
                           bool isPackage, bool isAlias, const QString& defaultPath);

} // namespace dialogExtension
} // namespace tetrapan
