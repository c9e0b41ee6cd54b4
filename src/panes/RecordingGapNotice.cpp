#include "panes/RecordingGapNotice.h"

#include "library/Movie.h"

#include <QEvent>

namespace tetrapan {

RecordingGapNotice::RecordingGapNotice(QWidget* view) : QLabel(tr("No recording"), view)
{
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    // the pane's own pointer handling (drags, menus, zoom) goes on underneath
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(view->rect());
    view->installEventFilter(this);
    hide();
}

void RecordingGapNotice::setMovie(Movie* movie)
{
    disconnect(timeConnection_);
    movie_ = movie;
    if (movie && movie->recording())
        timeConnection_ = connect(movie, &Movie::timeDidChange, this, &RecordingGapNotice::follow);
    follow();
}

bool RecordingGapNotice::inGap(const Movie& movie, double seconds)
{
    const Recording* recording = movie.recording();
    if (!recording)
        return false;
    const qint64 wallMs = recording->startMs() + qint64(seconds * 1000.0);
    for (const WallSpan& gap : recording->gaps()) {
        if (gap.toMs - gap.fromMs >= ShortestGapMs && wallMs >= gap.fromMs && wallMs < gap.toMs)
            return true;
    }
    return false;
}

void RecordingGapNotice::follow()
{
    const bool show = movie_ && inGap(*movie_, movie_->positionSeconds());
    if (show == isVisible())
        return;
    setVisible(show);
    if (show)
        raise();
}

bool RecordingGapNotice::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QLabel::eventFilter(watched, event);
}

} // namespace tetrapan
