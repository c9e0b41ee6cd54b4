#include "shell/MessageBoxPresenter.h"

#include "shell/NamedImage.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tetrapan {

int MessageBoxPresenter::runAlert(const AlertRequest& request)
{
    QMessageBox box(parentWindow_);
    box.setWindowTitle(QStringLiteral("Tetrapan"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(QMessageBox::Warning);
    const QIcon icon = namedImage(request.iconName);
    if (!icon.isNull())
        box.setIconPixmap(icon.pixmap(64, 64));
    box.setText(request.messageText);
    if (!request.informativeText.isEmpty())
        box.setInformativeText(request.informativeText);
    QList<QAbstractButton*> buttons;
    for (const QString& title : request.buttons) {
        // AcceptRole for every button keeps them in the given order on every platform style
        QPushButton* button = box.addButton(title, QMessageBox::AcceptRole);
        buttons.append(button);
    }
    if (!buttons.isEmpty())
        box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
    box.exec();
    const qsizetype index = buttons.indexOf(box.clickedButton());
    // closing the box without a button answers like the last button, which is the cancelling one
    return FirstButton + static_cast<int>(index >= 0 ? index : std::max<qsizetype>(0, buttons.size() - 1));
}

QStringList MessageBoxPresenter::runOpenPanel(const OpenPanelRequest& request)
{
    QFileDialog dialog(parentWindow_);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (request.canChooseDirectories && !request.canChooseFiles)
        dialog.setFileMode(QFileDialog::Directory);
    else
        dialog.setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontResolveSymlinks, !request.resolvesAliases);
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

bool MessageBoxPresenter::presentError(const StoreError& error)
{
    QMessageBox box(parentWindow_);
    box.setWindowTitle(QStringLiteral("Tetrapan"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(QMessageBox::Critical);
    box.setText(QStringLiteral("The library could not be read or saved."));
    box.setInformativeText(error.text());
    box.addButton(QMessageBox::Ok);
    box.exec();
    return false;
}

} // namespace tetrapan
