#include "shell/CameraFolderDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tetrapan {

namespace {
constexpr int MaxPanes = 4;
constexpr int CameraRole = Qt::UserRole;
} // namespace

CameraFolderDialog::CameraFolderDialog(const QString& folder, const QMap<QString, QStringList>& cameras,
                                       QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this))
{
    setWindowTitle(tr("Open Camera Folder"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("Cameras in %1. The first four ticked go into panes 1 to 4, in this order:")
                                 .arg(QFileInfo(folder).fileName()),
                             this);
    intro->setTextFormat(Qt::PlainText); // the folder's name as it is
    layout->addWidget(intro);
    list_->setObjectName(QStringLiteral("cameras"));
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    for (auto it = cameras.cbegin(); it != cameras.cend(); ++it) {
        const QString name = it.key().isEmpty() ? tr("(no camera name)") : it.key();
        auto* item =
            new QListWidgetItem(tr("%1 — %n file(s)", nullptr, int(it.value().size())).arg(name), list_);
        item->setData(CameraRole, it.key());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(list_->count() <= MaxPanes ? Qt::Checked : Qt::Unchecked);
    }
    list_->setCurrentRow(0);
    auto* middle = new QHBoxLayout;
    middle->addWidget(list_);
    auto* moves = new QVBoxLayout;
    auto* up = new QPushButton(tr("Up"), this);
    auto* down = new QPushButton(tr("Down"), this);
    moves->addWidget(up);
    moves->addWidget(down);
    moves->addStretch();
    middle->addLayout(moves);
    layout->addLayout(middle);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(up, &QPushButton::clicked, this, [this] { move(-1); });
    connect(down, &QPushButton::clicked, this, [this] { move(1); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QStringList CameraFolderDialog::chosenCameras() const
{
    QStringList chosen;
    for (int row = 0; row < list_->count() && chosen.size() < MaxPanes; ++row)
        if (list_->item(row)->checkState() == Qt::Checked)
            chosen.append(list_->item(row)->data(CameraRole).toString());
    return chosen;
}

void CameraFolderDialog::move(int by)
{
    const int row = list_->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= list_->count())
        return;
    list_->insertItem(to, list_->takeItem(row));
    list_->setCurrentRow(to);
}

} // namespace tetrapan
