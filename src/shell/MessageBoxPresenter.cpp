#include "shell/MessageBoxPresenter.h"

#include "widgets/NamedImage.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QTreeView>

namespace tetrapan {

namespace {

// The texts name files, playlists and the library's own XML ("<link> must name two records"), which Qt
// would otherwise take for markup and show without their tags. QMessageBox::setTextFormat reaches the
// message only, not the informative text under it.
void showAsWritten(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

} // namespace

int MessageBoxPresenter::runAlert(const AlertRequest& request)
{
    QMessageBox box(parentWindow_);
    box.setWindowTitle(QStringLiteral("Tetrapan"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(QMessageBox::Warning);
    const QIcon icon = namedImage(request.iconName);
    if (!icon.isNull())
        box.setIconPixmap(icon.pixmap(QSize(64, 64), box.devicePixelRatioF()));
    box.setText(request.messageText);
    if (!request.informativeText.isEmpty())
        box.setInformativeText(request.informativeText);
    showAsWritten(box);
    if (!request.detailedText.isEmpty())
        box.setDetailedText(request.detailedText);
    QCheckBox* choice = nullptr;
    if (request.chosen && !request.choiceText.isEmpty()) {
        choice = new QCheckBox(request.choiceText, &box);
        choice->setChecked(*request.chosen);
        box.setCheckBox(choice);
    }
    // One role for every button, so the answer is the button's place in the list whatever the style
    // draws; Escape and the window's close button answer like "Cancel" where there is one.
    QList<QAbstractButton*> buttons;
    QAbstractButton* cancel = nullptr;
    for (const QString& title : request.buttons) {
        QPushButton* button = box.addButton(title, QMessageBox::AcceptRole);
        buttons.append(button);
        if (title == QLatin1String("Cancel"))
            cancel = button;
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
        box.setEscapeButton(cancel ? cancel : buttons.back());
    }
    box.exec();
    if (choice)
        *request.chosen = choice->isChecked();
    const qsizetype index = buttons.indexOf(box.clickedButton());
    return FirstButton + static_cast<int>(index >= 0 ? index : std::max<qsizetype>(0, buttons.size() - 1));
}

QStringList MessageBoxPresenter::runOpenPanel(const OpenPanelRequest& request)
{
    QFileDialog dialog(parentWindow_);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (request.canChooseDirectories && !request.canChooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (request.allowsMultipleSelection) {
            // the desktop's own panels choose one folder; Qt's lets its views choose several
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>())
                if (qobject_cast<QListView*>(view) || qobject_cast<QTreeView*>(view))
                    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        }
    } else
        dialog.setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                           : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontResolveSymlinks, !request.resolvesAliases);
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    if (!request.mimeTypes.isEmpty()) {
        QStringList patterns;
        const QMimeDatabase types;
        for (const QString& name : request.mimeTypes)
            patterns += types.mimeTypeForName(name).globPatterns();
        patterns.removeDuplicates();
        dialog.setNameFilters({QStringLiteral("Movies (%1)").arg(patterns.join(QLatin1Char(' '))),
                               QStringLiteral("All files (*)")});
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString MessageBoxPresenter::runSavePanel(const SavePanelRequest& request)
{
    QFileDialog dialog(parentWindow_, request.title, request.directory);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(request.nameFilter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool MessageBoxPresenter::presentError(const StoreError& error)
{
    QMessageBox box(parentWindow_);
    box.setWindowTitle(QStringLiteral("Tetrapan"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(QMessageBox::Critical);
    box.setText(error.headline());
    box.setInformativeText(error.text());
    showAsWritten(box);
    box.addButton(QMessageBox::Ok);
    box.exec();
    return false;
}

} // namespace tetrapan
