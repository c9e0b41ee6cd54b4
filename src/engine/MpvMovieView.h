#pragma once

#include "engine/MovieView.h"
#include "engine/MpvMovieEngine.h"

#include <QPointer>

#include <memory>

namespace tetrapan {

class FramePacer;
class MpvGLSurface;
class MpvSoftwareSurface;
class MpvMovie;
class MpvCompare;
class MpvPixelReader;

// A movie view whose picture comes from mpv's render API, on the drawing path the engine chose. A movie
// with sound only has no picture: the view shows its name instead, so the pane tells what is playing.
class MpvMovieView final : public MovieView {
    Q_OBJECT
public:
    // pacer: times the picture's repaints with the other views'; without one it is repainted at once.
    MpvMovieView(DrawingPath path, FramePacer* pacer, QWidget* parent = nullptr);
    ~MpvMovieView() override;

    Movie* movie() const override;
    void setMovie(Movie* movie) override;
    bool preservesAspectRatio() const override { return preservesAspectRatio_; }
    void setPreservesAspectRatio(bool preserve) override;

    DrawingPath drawingPath() const { return path_; }
    void compareWith(MovieView* partner, const CompareSettings& settings) override;
    void readPixel(QPointF share, QPointF viewPoint, PixelAnswer answer) override;
    // The one of the drawing path's; null on the other.
    MpvGLSurface* glSurface() const { return glSurface_; }
    MpvSoftwareSurface* softwareSurface() const { return softwareSurface_; }
    QSizeF pictureSize() const override;
    QSize sourcePictureSize() const override;

Q_SIGNALS:
    // Where the picture stands in the view may have changed: another movie, its size known or changed, its
    // shape kept or not.
    void pictureShapeChanged();

protected:
    void applyZoom() override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* surface() const;

    DrawingPath path_;
    QPointer<MpvMovie> movie_;
    MpvGLSurface* glSurface_ = nullptr;
    MpvSoftwareSurface* softwareSurface_ = nullptr;
    bool preservesAspectRatio_ = true;
    // Made while this view compares, ended before the surfaces go.
    std::unique_ptr<MpvCompare> compare_;
    MpvPixelReader* pixelReader_ = nullptr;
};

} // namespace tetrapan
