#include "panes/PaneOpening.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tetrapan {

PaneOpening::PaneOpening(QWidget& area, MovieEngine& engine, Scheduler& scheduler)
    : area_(area), engine_(engine), scheduler_(scheduler), notice_(new QWidget(&area)),
      text_(new QLabel(notice_)), cancelButton_(new QPushButton(tr("Cancel"), notice_))
{
    notice_->setObjectName(QStringLiteral("openingNotice"));
    // readable over any picture, in the theme's colours
    notice_->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(notice_);
    layout->addWidget(text_);
    layout->addWidget(cancelButton_);
    notice_->hide();
    connect(cancelButton_, &QPushButton::clicked, this, &PaneOpening::cancel);
    area_.installEventFilter(this);
}

PaneOpening::~PaneOpening()
{
    scheduler_.cancel(noticeTask_);
    if (opening_)
        engine_.cancelOpening(engineOpening_);
}

void PaneOpening::open(const QString& path, Done done)
{
    cancel();
    opening_ = true;
    path_ = path;
    done_ = std::move(done);
    const quint64 ticket = ++ticket_;
    noticeTask_ = scheduler_.scheduleAfter(NoticeDelay, [this] {
        noticeTask_ = Scheduler::NoTask;
        showNotice();
    });
    const quint64 id = engine_.openMovie(path, [this, ticket](MovieOpenResult result) {
        if (ticket == ticket_ && opening_)
            finish(std::move(result), false);
    });
    if (ticket == ticket_ && opening_)
        engineOpening_ = id;
}

void PaneOpening::cancel()
{
    if (!opening_)
        return;
    engine_.cancelOpening(engineOpening_);
    finish({}, true);
}

void PaneOpening::finish(MovieOpenResult result, bool cancelled)
{
    opening_ = false;
    ++ticket_;
    scheduler_.cancel(noticeTask_);
    noticeTask_ = Scheduler::NoTask;
    notice_->hide();
    if (Done done = std::exchange(done_, {}))
        done(std::move(result), cancelled);
}

void PaneOpening::showNotice()
{
    text_->setText(tr("Opening %1…").arg(QFileInfo(path_).fileName()));
    notice_->adjustSize();
    placeNotice();
    notice_->show();
    notice_->raise();
}

void PaneOpening::placeNotice()
{
    const QSize size = notice_->sizeHint().boundedTo(area_.size());
    notice_->setGeometry(QRect(QPoint((area_.width() - size.width()) / 2, (area_.height() - size.height()) / 2),
                               size));
}

bool PaneOpening::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &area_ && event->type() == QEvent::Resize && notice_->isVisible())
        placeNotice();
    return QObject::eventFilter(watched, event);
}

} // namespace tetrapan
