#pragma once

#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>

class QWidget;

namespace tetrapan {

class MovieFilesOpener;

// A pane plays one camera: a folder given for one pane that holds several cameras' files would otherwise play
// them interleaved, as if one camera had filmed them all. The user is asked which camera, where he gave the
// folder, or opens the Camera Folder dialog on it to put several cameras in panes 1 to 4.
namespace cameraChoice {

// A folder's movie files by the camera that wrote them (RecordingLister::camerasIn).
using Cameras = QMap<QString, QStringList>;

// What a path the user gave or dropped is: where it leads (itself, or a link's end), and, for a folder, its
// files by camera. It asks the disk: never on the window's thread (fileLooks::pool).
struct Looked {
    QString path;
    Cameras cameras; // none for what is no folder
};
Looked look(const QString& given);

// The user's answer: the locator of the camera chosen (a pane's path), or the Camera Folder dialog
// wanted; neither when he closed the menu.
struct Answer {
    QString locator;
    bool cameraFolderDialog = false;
};

// A menu at `at` (global), of the cameras by name, each with its number of files, and Open Camera Folder…;
// blocks until it closes. parent: the window it belongs to (a Wayland popup wants one), if any.
Answer ask(const QString& folder, const Cameras& cameras, int viewNo, QPoint at, QWidget* parent);

// The recording of one camera of a folder: the folder and the camera's name, as a camera folder's entry keeps
// it, so it lists that camera's files again whenever it loads. Files whose names name no camera have no name
// to keep: they are kept as the chosen files they are.
QString locator(const QString& folder, const QString& camera, const QStringList& files);

// File > Open Camera Folder's dialog on the folder; the cameras ticked go into panes 1 to 4 of a new
// playlist.
void openInPanes(MovieFilesOpener& opener, const QString& folder, const Cameras& cameras, QWidget* parent);

} // namespace cameraChoice
} // namespace tetrapan
