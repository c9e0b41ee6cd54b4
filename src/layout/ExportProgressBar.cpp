#include "layout/ExportProgressBar.h"

#include "export/ExportJob.h"
#include "export/VideoExport.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace tetrapan {

ExportProgressBar::ExportProgressBar(QWidget* parent)
    : QFrame(parent), label_(new QLabel(this)), bar_(new QProgressBar(this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("exportProgress"));
    // light on dark like the panes and the snapshot notice, whatever the theme
    setStyleSheet(QStringLiteral("#exportProgress { background: #303030; border-radius: 6px; }"
                                 "#exportProgress > QLabel { color: #e0e0e0; }"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 6, 6);
    label_->setTextFormat(Qt::PlainText); // it names the file
    layout->addWidget(label_, 1);
    layout->addWidget(bar_);
    layout->addWidget(cancel_);
    bar_->setRange(0, 100);
    bar_->setFixedWidth(120);
    cancel_->setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Export"));
    connect(cancel_, &QAbstractButton::clicked, this, &ExportProgressBar::cancelRequested);
    hide();
    parent->installEventFilter(this);
}

void ExportProgressBar::showStarted(const QString& fileName)
{
    fileName_ = fileName;
    bar_->setValue(0);
    bar_->show();
    cancel_->show();
    label_->setText(QStringLiteral("Exporting %1…").arg(fileName_));
    place();
    show();
    raise();
}

void ExportProgressBar::showProgress(const ExportProgress& progress)
{
    const int percent = progress.framesTotal > 0 ? int(progress.framesDone * 100 / progress.framesTotal) : 0;
    bar_->setValue(percent);
    const QString left = timeLeftText(progress.secondsLeft);
    label_->setText(left.isEmpty() ? QStringLiteral("Exporting %1…").arg(fileName_)
                                   : QStringLiteral("Exporting %1: %2").arg(fileName_, left));
}

void ExportProgressBar::showEnded(const QString& text)
{
    bar_->hide();
    cancel_->hide();
    label_->setText(text);
    place();
    show();
    raise();
}

QString ExportProgressBar::text() const
{
    return label_->text();
}

int ExportProgressBar::percent() const
{
    return bar_->value();
}

void ExportProgressBar::place()
{
    const QRect area = parentWidget()->rect();
    QRect box(0, 0, std::min(Width, std::max(0, area.width() - 2 * Inset)), sizeHint().height());
    box.moveCenter(area.center());
    // above where the snapshot notice shows, so both can be read at once
    box.moveBottom(area.bottom() - Inset - 2 * box.height());
    setGeometry(box);
}

bool ExportProgressBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize && !isHidden())
        place();
    return false;
}

} // namespace tetrapan
