#pragma once

#include <QDialog>
#include <QMap>
#include <QStringList>

class QListWidget;

namespace tetrapan {

// File > Open Camera Folder's choice: the cameras found in a folder, each with its number of files, in an
// order the user changes (dragging, or Up and Down); the first four ticked go into panes 1 to 4.
class CameraFolderDialog final : public QDialog {
    Q_OBJECT
public:
    // cameras: each camera's files (RecordingLister::camerasIn).
    CameraFolderDialog(const QString& folder, const QMap<QString, QStringList>& cameras,
                       QWidget* parent = nullptr);

    // The ticked cameras, in the order shown, at most four.
    QStringList chosenCameras() const;

private:
    void move(int by);

    QListWidget* list_;
};

} // namespace tetrapan
