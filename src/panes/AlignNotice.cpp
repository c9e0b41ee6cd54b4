#include "panes/AlignNotice.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace tetrapan {

AlignNotice::AlignNotice(Scheduler& scheduler, QWidget* parent)
    : QFrame(parent), scheduler_(scheduler), label_(new QLabel(this)), progress_(new QProgressBar(this)),
      button_(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("alignNotice"));
    // as the snapshot's notice: light on dark like the panes, whatever the theme
    setStyleSheet(QStringLiteral("#alignNotice { background: #303030; border-radius: 6px; }"
                                 "#alignNotice > QLabel { color: #e0e0e0; }"));
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->setFixedWidth(120);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 6, 6);
    layout->addWidget(label_, 1);
    layout->addWidget(progress_);
    layout->addWidget(button_);
    button_->setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Aligning"));
    connect(button_, &QPushButton::clicked, this, [this] {
        if (running_)
            Q_EMIT cancelRequested();
        else
            hide();
    });
    hide();
    parent->installEventFilter(this);
}

AlignNotice::~AlignNotice()
{
    scheduler_.cancel(hideTask_);
}

void AlignNotice::showStarted(const QString& what)
{
    scheduler_.cancel(hideTask_);
    hideTask_ = Scheduler::NoTask;
    running_ = true;
    label_->setText(what);
    progress_->setValue(0);
    progress_->show();
    button_->setText(QStringLiteral("Cancel"));
    place();
    show();
    raise();
}

void AlignNotice::showProgress(double share)
{
    if (running_)
        progress_->setValue(int(std::lround(std::clamp(share, 0.0, 1.0) * 100.0)));
}

void AlignNotice::showFinished(const QString& report)
{
    running_ = false;
    label_->setText(report);
    label_->setToolTip(report);
    progress_->hide();
    button_->setText(QStringLiteral("Close"));
    place();
    show();
    raise();
    scheduler_.cancel(hideTask_);
    hideTask_ = scheduler_.scheduleAfter(ShowDuration, [this] {
        hideTask_ = Scheduler::NoTask;
        hide();
    });
}

QString AlignNotice::text() const
{
    return label_->text();
}

void AlignNotice::place()
{
    const QRect area = parentWidget()->rect();
    const int width = std::max(0, std::min(560, area.width() - 2 * Inset));
    const int height = std::max(sizeHint().height(), heightForWidth(width));
    QRect box(0, 0, width, height);
    box.moveCenter(area.center());
    box.moveTop(area.top() + Inset);
    setGeometry(box);
}

bool AlignNotice::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize && !isHidden())
        place();
    return false;
}

} // namespace tetrapan
