#pragma once

#include "platform/Scheduler.h"

#include <QList>
#include <QObject>

namespace tetrapan {

class MovieFilesOpener;
class QTMovieSubView;

// A file or folder dropped on a pane from outside. What it is (where a link leads, whether it is a folder,
// the folder's names grouped by camera as File > Open Camera Folder… groups them) is looked at off the
// window's thread, once the drag is over: a share that hangs holds up neither the window nor the file
// manager's drag. A file, a folder of one camera, or of names that name none, goes to the pane as the pane
// places a dropped file; of several cameras the user chooses one in a menu at the drop point (cameraChoice),
// or opens the Camera Folder dialog on the folder. Closing the menu changes nothing, and so does a look that
// ends after the user went to another playlist. Several files, or one from another computer, are left to the
// pane's own input.
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
    // The drop has finished and the menu may open: what was dropped is looked at, then placed or asked about.
    void lookAt(QTMovieSubView* pane, const QString& dropped, QPoint at);

    MovieFilesOpener& opener_;
    Scheduler& scheduler_;
    QList<Scheduler::TaskId> pending_;
};

} // namespace tetrapan
