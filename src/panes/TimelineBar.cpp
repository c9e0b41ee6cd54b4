#include "panes/TimelineBar.h"

#include "library/Movie.h"
#include "panes/PaneTimeline.h"
#include "panes/TimeForm.h"
#include "platform/SettingsDomain.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tetrapan {

namespace {
constexpr int Margin = 6;
constexpr int TrackHeight = 8;
constexpr int LaneGap = 1;
// the lanes' names are written smaller than the time
constexpr double LaneFontScale = 0.8;
// one colour per pane, told apart on light and dark themes
const QColor LaneColours[PaneTimeline::PaneCount] = {QColor(0x4f, 0xa3, 0xe0), QColor(0x6c, 0xc0, 0x5a),
                                                     QColor(0xe0, 0xa8, 0x3c), QColor(0xc8, 0x6c, 0xd8)};

QFont laneFont(const QFont& font)
{
    QFont small = font;
    if (font.pointSizeF() > 0)
        small.setPointSizeF(font.pointSizeF() * LaneFontScale);
    return small;
}
} // namespace

TimelineBar::TimelineBar(PaneTimeline& timeline, Scheduler& scheduler, SettingsDomain& settings,
                         QWidget* parent)
    : QWidget(parent), timeline_(&timeline), scheduler_(scheduler), settings_(settings)
{
    setObjectName(QStringLiteral("timelineBar"));
    setAccessibleName(QStringLiteral("Timeline"));
    setToolTip(QStringLiteral("Click or drag to move every pane through its movie"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // the theme's colours, as the panes' controller bars have them
    setBackgroundRole(QPalette::Button);
    setForegroundRole(QPalette::ButtonText);
    setAutoFillBackground(true);
    connect(&timeline, &PaneTimeline::loopChanged, this, qOverload<>(&QWidget::update));
    connect(&timeline, &PaneTimeline::changed, this, &TimelineBar::followPanes);
    connect(&settings_, &SettingsDomain::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(TimeForm::OptShowsFrames))
            update();
    });
    hide();
}

TimelineBar::~TimelineBar()
{
    scheduler_.cancel(refreshTask_);
    scheduler_.cancel(hideTask_);
}

int TimelineBar::laneHeight() const
{
    return QFontMetrics(laneFont(font())).height();
}

QSize TimelineBar::sizeHint() const
{
    return {200, 2 * Margin + TrackHeight + PaneTimeline::PaneCount * (laneHeight() + LaneGap)};
}

void TimelineBar::setWanted(bool wanted)
{
    wanted_ = wanted;
    refreshVisibility();
}

void TimelineBar::setFullScreen(bool fullScreen)
{
    if (fullScreen == fullScreen_)
        return;
    fullScreen_ = fullScreen;
    // in full screen the bar comes when the pointer moves anywhere over the window
    if (fullScreen)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
    pointerRecent_ = false;
    refreshVisibility();
}

void TimelineBar::pointerMoved()
{
    if (!fullScreen_)
        return;
    pointerRecent_ = true;
    scheduler_.cancel(hideTask_);
    hideTask_ = scheduler_.scheduleAfter(FullScreenShowTime, [this] {
        hideTask_ = Scheduler::NoTask;
        pointerRecent_ = false;
        refreshVisibility();
    });
    refreshVisibility();
}

void TimelineBar::refreshVisibility()
{
    const bool dragging = timeline_ && timeline_->isDragging();
    setVisible(wanted_ && (!fullScreen_ || pointerRecent_ || dragging || underMouse()));
}

bool TimelineBar::eventFilter(QObject* watched, QEvent* event)
{
    // a modal alert over the window: the release of the drag goes to it, if anywhere
    if (event->type() == QEvent::WindowBlocked && watched == window()) {
        letGoOfDrag();
        refreshVisibility();
    }
    if (event->type() == QEvent::MouseMove && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == window())
        pointerMoved();
    return QWidget::eventFilter(watched, event);
}

QRect TimelineBar::track() const
{
    // room for the widest of either form, so that switching them moves nothing
    const QFontMetrics metrics = fontMetrics();
    const int textWidth = std::max(metrics.horizontalAdvance(QStringLiteral("00:00:00.000 / 00:00:00.000")),
                                   metrics.horizontalAdvance(QStringLiteral("frame 0000000 / 0000000")));
    const int nameWidth = QFontMetrics(laneFont(font())).horizontalAdvance(QStringLiteral("4  -0000.000 s"));
    const int left = 2 * Margin + nameWidth;
    return {left, Margin, std::max(1, width() - left - 2 * Margin - textWidth), TrackHeight};
}

double TimelineBar::secondsAt(int x) const
{
    const QRect area = track();
    const double share = std::clamp((x - area.left()) / double(std::max(1, area.width() - 1)), 0.0, 1.0);
    return timeline_ ? share * timeline_->lengthSeconds() : 0.0;
}

int TimelineBar::xOf(double seconds) const
{
    const QRect area = track();
    const double length = timeline_ ? timeline_->lengthSeconds() : 0.0;
    const double share = length > 0.0 ? std::clamp(seconds / length, 0.0, 1.0) : 0.0;
    return area.left() + static_cast<int>(std::lround(share * (area.width() - 1)));
}

QString TimelineBar::timeText() const
{
    if (!timeline_)
        return {};
    const Movie* leader = timeline_->leaderMovie();
    // recordings are placed on the wall clock, and read by it
    if (const Recording* recording = leader ? leader->recording() : nullptr)
        return TimeForm::wallClockText(recording->startMs() + qint64(std::lround(timeline_->leaderSeconds() * 1000.0)));
    return TimeForm::text(timeline_->leaderSeconds(), timeline_->lengthSeconds(),
                          leader ? leader->framesPerSecond() : 0.0, TimeForm::showsFrames(settings_));
}

QString TimelineBar::laneText(int viewNo) const
{
    const qint64 offset = timeline_ && timeline_->lane(viewNo) ? timeline_->offsetMs(viewNo) : 0;
    return offset == 0 ? QString::number(viewNo)
                       : QStringLiteral("%1  %2").arg(viewNo).arg(TimeForm::offsetText(offset));
}

void TimelineBar::paintEvent(QPaintEvent*)
{
    if (!timeline_)
        return;
    QPainter painter(this);
    const QRect area = track();
    painter.fillRect(area, palette().color(QPalette::Mid));
    const double now = timeline_->leaderSeconds();
    painter.fillRect(QRect(area.topLeft(), QPoint(xOf(now), area.bottom())),
                     palette().color(QPalette::Highlight));
    const auto a = timeline_->loopA();
    const auto b = timeline_->loopB();
    if (a && b)
        painter.fillRect(QRect(QPoint(xOf(*a), area.top()), QPoint(xOf(*b), area.bottom())),
                         QColor(0xe0, 0xc0, 0x40, 0x70));
    for (const auto& point : {a, b}) {
        if (point)
            painter.fillRect(QRect(xOf(*point) - 1, 0, 2, height()), QColor(0xf0, 0xd0, 0x40));
    }
    painter.fillRect(QRect(xOf(now) - 1, area.top() - 3, 3, area.height() + 6),
                     palette().color(QPalette::ButtonText));
    const int lane = laneHeight();
    // a thin strip in the middle of each lane's line, its name before it in the pane's colour
    const int strip = std::max(3, lane / 3);
    painter.setFont(laneFont(font()));
    int y = area.bottom() + 1 + Margin / 2;
    for (int n = 1; n <= PaneTimeline::PaneCount; ++n, y += lane + LaneGap) {
        const auto span = timeline_->lane(n);
        painter.setPen(span ? LaneColours[n - 1] : palette().color(QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(QRect(Margin, y, area.left() - 2 * Margin, lane), Qt::AlignVCenter | Qt::AlignLeft,
                         laneText(n));
        if (span) {
            const int from = xOf(span->from);
            const int to = xOf(span->to);
            if (to > from || span->to > 0.0)
                painter.fillRect(QRect(from, y + (lane - strip) / 2, std::max(1, to - from + 1), strip),
                                 LaneColours[n - 1]);
            // a recording's gaps break its strip
            for (const PaneTimeline::Span& gap : timeline_->laneGaps(n)) {
                const int gapFrom = xOf(gap.from) + 1;
                painter.fillRect(QRect(gapFrom, y, std::max(1, xOf(gap.to) - gapFrom), lane),
                                 palette().color(QPalette::Window));
            }
        }
    }
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(QRect(area.right() + Margin, 0, width() - area.right() - Margin, height()),
                     Qt::AlignVCenter | Qt::AlignRight, timeText());
}

void TimelineBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && event->position().x() > track().right() + Margin) {
        TimeForm::switchForm(settings_);
        return;
    }
    if (event->button() != Qt::LeftButton || !timeline_ || timeline_->leaderViewNo() == 0 ||
        event->position().x() < track().left() - Margin)
        return QWidget::mousePressEvent(event);
    timeline_->beginDrag(secondsAt(event->position().toPoint().x()));
    // an alert that comes up meanwhile takes the release
    window()->installEventFilter(this);
    update();
}

void TimelineBar::mouseMoveEvent(QMouseEvent* event)
{
    if (timeline_ && timeline_->isDragging()) {
        timeline_->dragTo(secondsAt(event->position().toPoint().x()));
        update();
    }
}

void TimelineBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !timeline_ || !timeline_->isDragging())
        return QWidget::mouseReleaseEvent(event);
    window()->removeEventFilter(this);
    timeline_->endDrag(secondsAt(event->position().toPoint().x()));
    update();
    refreshVisibility();
}

void TimelineBar::letGoOfDrag()
{
    window()->removeEventFilter(this);
    if (!timeline_ || !timeline_->isDragging())
        return;
    // where it went last, and the panes that played play on
    timeline_->endDrag(timeline_->dragTarget());
    update();
}

void TimelineBar::followPanes()
{
    // A paused program is not woken up ten times a second for a picture that stands still.
    // While a pane plays the task redraws, not each of the four movies' pictures.
    const bool playing = isVisible() && timeline_ && timeline_->anyPlaying();
    if (playing && refreshTask_ != Scheduler::NoTask)
        return;
    if (playing) {
        refreshTask_ = scheduler_.scheduleRepeating(RefreshInterval, [this] {
            update();
            followPanes();
        });
    } else {
        scheduler_.cancel(refreshTask_);
        refreshTask_ = Scheduler::NoTask;
    }
    update();
}

void TimelineBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    followPanes();
}

void TimelineBar::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    letGoOfDrag(); // a bar hidden gets no release
    scheduler_.cancel(refreshTask_);
    refreshTask_ = Scheduler::NoTask;
}

} // namespace tetrapan
