#pragma once

#include "platform/Scheduler.h"

#include <QList>
#include <QObject>

namespace tetrapan {

class MovieFilesOpener;
class QTMovieSubView;

// A folder dropped on a pane becomes that pane's recording of one camera. Its names are grouped by camera off
// the GUI thread (RecordingLister::camerasIn, as File > Open Camera Folder… groups them); a folder of one
// camera, or of names that name none, goes to the pane as any dropped file does, while of several the user
// chooses one in a menu at the drop point (cameraChoice), or opens the Camera Folder dialog on the folder.
// Closing the menu changes nothing. Other drops are left to the pane's own input.
class PaneFolderDrops final : public QObject {
    Q_OBJECT
public:
    PaneFolderDrops(MovieFilesOpener& opener, Scheduler& scheduler);
    ~PaneFolderDrops() override;

    // To be called after the pane's own input is set up, so this hears the pane's drops first.
    void takeDropsOn(QTMovieSubView& pane);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The drop has finished and the menu may open: the folder's cameras are found, then the user asked.
    void listCameras(QTMovieSubView* pane, const QString& folder, QPoint at);

    MovieFilesOpener& opener_;
    Scheduler& scheduler_;
    QList<Scheduler::TaskId> pending_;
};

} // namespace tetrapan
