#pragma once

#include "engine/MpvFrameRenderer.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

namespace tetrapan {

class FramePacer;
class MpvMovie;

// Shows a movie drawn by mpv's software renderer (the render context belongs to the movie's core): the
// pictures are drawn at the widget's size in device pixels on a thread of the surface's own, and put on the
// screen when they are due.
class MpvSoftwareSurface final : public QWidget {
    Q_OBJECT
public:
    MpvSoftwareSurface(FramePacer* pacer, QWidget* parent = nullptr);
    ~MpvSoftwareSurface() override;

    void setMovie(MpvMovie* movie);
    // While compared in another view: pictures drawn at that view's size in device pixels, whatever this
    // widget's, and shown here whole. None: at this widget's own size again.
    void setDrawSize(std::optional<QSize> size);
    QSize drawSize() const;
    // See MpvFrameRenderer.
    void setPictureHook(MpvFrameRenderer::PictureHook hook) { renderer_->setPictureHook(std::move(hook)); }
    void redraw() { renderer_->redraw(); }
    // Whether its movie plays, as the movie says; playingChanged tells of each change, a new movie's too.
    bool moviePlays() const;
    // The colour shown at point, in widget pixels; none before a picture.
    std::optional<QRgb> pixelShown(QPointF point) const;
    // The most picture buffers its renderer held at once; for diagnostics and tests.
    int peakPictureCount() const { return renderer_->peakPictureCount(); }

Q_SIGNALS:
    void playingChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void pictureArrived();
    // The renderer draws at the widget's size in device pixels.
    void requestSize();

    QPointer<FramePacer> pacer_;
    QPointer<MpvMovie> movie_;
    QMetaObject::Connection movieGoing_;
    QMetaObject::Connection movieRate_;
    quint64 generation_ = 0;
    std::optional<QSize> drawSize_;
    // On the screen, and the next one until it is due.
    QImage shown_;
    std::optional<MpvFrameRenderer::Picture> waiting_;
    // Last: its thread hands pictures to this widget until it is gone.
    std::unique_ptr<MpvFrameRenderer> renderer_;
};

} // namespace tetrapan
