#pragma once

#include "engine/MovieView.h"

#include <QObject>

#include <thread>

struct mpv_handle;

namespace tetrapan {

// Reads one pixel of a movie's decoded picture, at the movie's own size, off the GUI thread: a client of the
// movie's core of its own asks for the current picture (screenshot-raw, "video": before it is scaled for the
// screen) on a thread of its own, and the answer comes back through the event loop while the reader exists.
// One read at a time; a read asked for meanwhile answers none, as the pointer soon asks again. The reading
// thread is the reader's own: ending the reader waits for a read under way, so none outlives it (nor the
// movie's core, whose end waits for the read's client).
class MpvPixelReader final : public QObject {
    Q_OBJECT
public:
    explicit MpvPixelReader(QObject* parent = nullptr);
    ~MpvPixelReader() override;

    // handle: the movie's core, on the GUI thread while the movie exists.
    void read(mpv_handle* handle, QPointF share, MovieView::PixelAnswer answer);

private:
    std::thread thread_;
    bool reading_ = false;
};

} // namespace tetrapan
