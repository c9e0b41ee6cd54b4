#include "engine/FramePacer.h"

#include <QWidget>

#include <mpv/client.h>
#include <mpv/render.h>

#include <algorithm>

namespace tetrapan {

FramePacer::FramePacer(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    // A coarse timer may wake a twentieth of its interval late: a frame at 60 fps lasts 16 ms.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &FramePacer::drawDue);
    clock_.start();
}

FramePacer::Duration FramePacer::nextFrameDueIn(mpv_render_context* context, mpv_handle* handle)
{
    if (!context || !handle)
        return Duration::zero();
    mpv_render_frame_info info{};
    if (mpv_render_context_get_info(context, {MPV_RENDER_PARAM_NEXT_FRAME_INFO, &info}) < 0)
        return Duration::zero();
    const bool timedFrame = (info.flags & MPV_RENDER_FRAME_INFO_PRESENT) &&
                            !(info.flags & MPV_RENDER_FRAME_INFO_REDRAW) && info.target_time > 0;
    if (!timedFrame)
        return Duration::zero();
    return std::chrono::microseconds(info.target_time - mpv_get_time_us(handle));
}

void FramePacer::repaintWhenDue(FramePacer* pacer, QWidget* surface, mpv_render_context* context,
                                mpv_handle* handle)
{
    if (pacer && context && handle)
        pacer->frameDue(surface, nextFrameDueIn(context, handle));
    else
        surface->update();
}

void FramePacer::frameDue(QWidget* surface, Duration dueIn)
{
    const Duration due = Duration(clock_.nsecsElapsed()) + std::clamp(dueIn, Duration::zero(), LongestWait);
    const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                   [surface](const Waiting& w) { return w.surface == surface; });
    if (same != waiting_.end())
        same->due = due;
    else
        waiting_.push_back({surface, due});
    drawDue();
}

FramePacer::Plan FramePacer::plan(const std::vector<Duration>& due, Duration now)
{
    Plan result;
    const bool anyDue = std::any_of(due.begin(), due.end(), [now](Duration d) { return d <= now + Slack; });
    // Once the window is repainted anyway, pictures nearly due go with it rather than a moment later alone.
    const Duration drawUntil = now + (anyDue ? Together : Duration::zero());
    std::optional<Duration> next;
    for (std::size_t i = 0; i < due.size(); ++i) {
        if (due[i] <= drawUntil)
            result.drawNow.push_back(i);
        else if (!next || due[i] < *next)
            next = due[i];
    }
    if (next)
        result.wait = *next - Slack - now;
    return result;
}

void FramePacer::drawDue()
{
    std::vector<Duration> due;
    due.reserve(waiting_.size());
    for (const Waiting& w : waiting_)
        due.push_back(w.due);
    const Plan now = plan(due, Duration(clock_.nsecsElapsed()));
    // Qt gathers the surfaces' updates into one repaint of their window.
    for (std::size_t i : now.drawNow) {
        if (waiting_[i].surface)
            waiting_[i].surface->update();
    }
    for (auto i = now.drawNow.rbegin(); i != now.drawNow.rend(); ++i)
        waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(*i));
    if (now.wait) {
        // Rounded up: woken a little early, the same picture would only be looked at again.
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*now.wait);
        timer_.start(std::max(ms, std::chrono::milliseconds(0)));
    } else {
        timer_.stop();
    }
}

} // namespace tetrapan
