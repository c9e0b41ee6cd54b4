#include "panes/SnapshotNotice.h"

#include "platform/FileViewer.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace tetrapan {

SnapshotNotice::SnapshotNotice(Scheduler& scheduler, FileViewer& fileViewer, QWidget* parent)
    : QFrame(parent), scheduler_(scheduler), fileViewer_(fileViewer), label_(new QLabel(this)),
      showFolder_(new QPushButton(QStringLiteral("Show Folder"), this))
{
    setObjectName(QStringLiteral("snapshotNotice"));
    // light on dark like the panes, whatever the theme, and clear of them by its rounded box
    setStyleSheet(QStringLiteral("#snapshotNotice { background: #303030; border-radius: 6px; }"
                                 "#snapshotNotice > QLabel { color: #e0e0e0; }"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 6, 6);
    layout->addWidget(label_, 1);
    layout->addWidget(showFolder_);
    showFolder_->setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Snapshot"));
    connect(showFolder_, &QAbstractButton::clicked, this, [this] {
        fileViewer_.selectFile(fileToShow_);
        hide();
    });
    hide();
    parent->installEventFilter(this);
}

SnapshotNotice::~SnapshotNotice()
{
    scheduler_.cancel(hideTask_);
}

void SnapshotNotice::showSaved(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    const QString folder = QDir::toNativeSeparators(QFileInfo(paths.first()).absolutePath());
    showMessage(QStringLiteral("Snapshot saved in %1").arg(folder), paths.first());
}

void SnapshotNotice::showNotTaken(const QString& why)
{
    showMessage(why, QString());
}

QString SnapshotNotice::text() const
{
    return label_->text();
}

QAbstractButton* SnapshotNotice::showFolderButton() const
{
    return showFolder_;
}

void SnapshotNotice::showMessage(const QString& text, const QString& fileToShow)
{
    label_->setText(text);
    label_->setToolTip(text);
    fileToShow_ = fileToShow;
    showFolder_->setVisible(!fileToShow.isEmpty());
    place();
    show();
    raise();
    scheduler_.cancel(hideTask_);
    hideTask_ = scheduler_.scheduleAfter(ShowDuration, [this] {
        hideTask_ = Scheduler::NoTask;
        hide();
    });
}

void SnapshotNotice::place()
{
    const QRect area = parentWidget()->rect();
    const int width = std::min(sizeHint().width(), std::max(0, area.width() - 2 * Inset));
    QRect box(0, 0, width, sizeHint().height());
    box.moveCenter(area.center());
    box.moveBottom(area.bottom() - Inset);
    setGeometry(box);
}

bool SnapshotNotice::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize && !isHidden())
        place();
    return false;
}

} // namespace tetrapan
