#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <optional>
#include <vector>

class QWidget;
struct mpv_handle;
struct mpv_render_context;

namespace tetrapan {

// Puts the panes' new pictures on screen when they are due, and together. mpv hands a picture over ahead of
// its time (by up to its video-timing-offset) for the renderer to wait until then; drawn at once instead,
// each pane would show it early by however much its core happened to be ahead, and four panes on one clock
// would still show different frames. Pictures due within a few milliseconds of each other are repainted in
// one pass, so the window shows them in one update.
class FramePacer final : public QObject {
    Q_OBJECT
public:
    using Duration = std::chrono::nanoseconds;
    // A picture this close to its time is drawn now: timers wake to the millisecond at best.
    static constexpr Duration Slack = std::chrono::milliseconds(1);
    // Pictures due this soon after one drawn now are drawn with it.
    static constexpr Duration Together = std::chrono::milliseconds(4);
    // A picture is never held longer than this, whatever its due time says.
    static constexpr Duration LongestWait = std::chrono::milliseconds(100);

    explicit FramePacer(QObject* parent = nullptr);

    // Repaints surface when a picture due in dueIn is due: at once for one due now or late. A surface
    // waits for one picture at a time, the last one handed over.
    void frameDue(QWidget* surface, Duration dueIn);
    // How long until the picture mpv holds for the render context is due; zero for a redraw, or when there
    // is no new picture or no time given.
    static Duration nextFrameDueIn(mpv_render_context* context, mpv_handle* handle);
    // What a surface does when mpv has a new picture for it, or wants the old one drawn again: through the
    // pacer where there is one, at once otherwise.
    static void repaintWhenDue(FramePacer* pacer, QWidget* surface, mpv_render_context* context,
                               mpv_handle* handle);

    // Of pictures due at the given times, which to draw at now, and how long to wait before looking again
    // (none when nothing is left waiting).
    struct Plan {
        std::vector<std::size_t> drawNow;
        std::optional<Duration> wait;
    };
    static Plan plan(const std::vector<Duration>& due, Duration now);

private:
    void drawDue();

    struct Waiting {
        QPointer<QWidget> surface;
        Duration due;
    };
    std::vector<Waiting> waiting_;
    QTimer timer_;
    QElapsedTimer clock_;
};

} // namespace tetrapan
