#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

struct mpv_render_context;
class QPainter;

namespace tetrapan {

class FramePacer;
class MpvMovie;

// Draws a movie with mpv's software renderer (the render context belongs to the movie's core) into an image
// of the widget's size, then paints the image.
class MpvSoftwareSurface final : public QWidget {
    Q_OBJECT
public:
    MpvSoftwareSurface(FramePacer* pacer, QWidget* parent = nullptr);
    ~MpvSoftwareSurface() override;

    void setMovie(MpvMovie* movie);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static void onUpdate(void* context);
    // Has mpv draw straight into the window's image when it may; false when the picture still needs drawing.
    bool renderIntoWindowImage(QPainter& painter, const QRegion& dirty);
    // format: mpv's name of the pixel format.
    bool render(QSize size, const char* format, uchar* pixels, qsizetype lineBytes);

    QPointer<FramePacer> pacer_;
    QPointer<MpvMovie> movie_;
    // The movie's, not owned.
    mpv_render_context* renderContext_ = nullptr;
    QMetaObject::Connection movieGoing_;
    // mpv converts fastest into 64-byte aligned lines.
    struct AlignedFree {
        void operator()(uchar* p) const;
    };
    std::unique_ptr<uchar, AlignedFree> pixels_;
    QSize pixelSize_;
    qsizetype stride_ = 0;
};

} // namespace tetrapan
