#include "shell/cameraChoice.h"

#include "library/Recording.h"
#include "library/RecordingSource.h"
#include "library/fileAttributeExtension.h"
#include "recording/RecordingLister.h"
#include "shell/CameraFolderDialog.h"
#include "shell/MovieFilesOpener.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>

namespace tetrapan::cameraChoice {

Looked look(const QString& given)
{
    Looked looked;
    const QString resolved = fileAttributeExtension::resolveAliasFileWithPath(given);
    looked.path = resolved.isNull() ? given : resolved;
    if (!looked.path.isEmpty() && QFileInfo(looked.path).isDir())
        looked.cameras = RecordingLister::camerasIn(looked.path);
    return looked;
}

Answer ask(const QString& folder, const Cameras& cameras, int viewNo, QPoint at, QWidget* parent)
{
    QMenu menu(parent);
    menu.setObjectName(QStringLiteral("cameraChoice"));
    // the menu says what it asks: a popup has no title bar to say it
    menu.addAction(QCoreApplication::translate("cameraChoice", "Pane %1 plays one camera of %2:")
                       .arg(viewNo)
                       .arg(QFileInfo(folder).fileName()))
        ->setEnabled(false);
    QMap<QAction*, QString> choices;
    for (auto it = cameras.cbegin(); it != cameras.cend(); ++it) {
        const QString name =
            it.key().isEmpty() ? QCoreApplication::translate("cameraChoice", "(no camera name)") : it.key();
        const int files = int(it.value().size());
        QAction* item =
            menu.addAction(files == 1 ? QCoreApplication::translate("cameraChoice", "%1 — 1 file").arg(name)
                                      : QCoreApplication::translate("cameraChoice", "%1 — %2 files")
                                            .arg(name, QString::number(files)));
        choices.insert(item, locator(folder, it.key(), it.value()));
    }
    menu.addSeparator();
    QAction* dialog = menu.addAction(
        QCoreApplication::translate("cameraChoice", "Open Camera Folder… (cameras in panes 1–4)"));
    QAction* chosen = menu.exec(at);
    return {choices.value(chosen), chosen && chosen == dialog};
}

QString locator(const QString& folder, const QString& camera, const QStringList& files)
{
    Recording source;
    if (camera.isEmpty()) {
        source.chosenFiles = files;
    } else {
        source.folder = QFileInfo(folder).absoluteFilePath();
        source.camera = camera;
    }
    return RecordingSource::locator(source);
}

void openInPanes(MovieFilesOpener& opener, const QString& folder, const Cameras& cameras, QWidget* parent)
{
    CameraFolderDialog dialog(folder, cameras, parent);
    if (dialog.exec() == QDialog::Accepted && !dialog.chosenCameras().isEmpty())
        opener.openCameraFolder(folder, cameras, dialog.chosenCameras());
}

} // namespace tetrapan::cameraChoice
