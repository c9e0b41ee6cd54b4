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
        hide();
        if (const std::function<void()> action = std::exchange(action_, {}))
            action();
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
    showMessage(QStringLiteral("Snapshot saved in %1").arg(folder), QStringLiteral("Show Folder"),
                [this, file = paths.first()] { fileViewer_.selectFile(file); });
}

void SnapshotNotice::showNotTaken(const QString& why)
{
    showMessage(why, QString(), {});
}

void SnapshotNotice::showChanged(const QString& text, std::function<void()> undo)
{
    showMessage(text, QStringLiteral("Undo"), std::move(undo), ChangeShowDuration);
    showsChange_ = true;
}

void SnapshotNotice::withdrawChange()
{
    if (!showsChange_)
        return;
    showsChange_ = false;
    action_ = {};
    hide();
}

QString SnapshotNotice::text() const
{
    return label_->text();
}

QAbstractButton* SnapshotNotice::showFolderButton() const
{
    return showFolder_;
}

void SnapshotNotice::showMessage(const QString& text, const QString& buttonText, std::function<void()> action,
                                 std::chrono::milliseconds duration)
{
    label_->setText(text);
    // as written: a file or playlist named "<b>…" is no markup
    label_->setTextFormat(Qt::PlainText);
    label_->setToolTip(QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()));
    action_ = std::move(action);
    showsChange_ = false;
    showFolder_->setText(buttonText);
    showFolder_->setVisible(bool(action_));
    place();
    show();
    raise();
    scheduler_.cancel(hideTask_);
    hideTask_ = scheduler_.scheduleAfter(duration, [this] {
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
