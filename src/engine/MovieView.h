#pragma once

#include "engine/CompareSettings.h"

#include <QPointF>
#include <QSizeF>
#include <QWidget>

#include <functional>
#include <optional>

namespace tetrapan {

class Movie;

// A detail of the picture enlarged: factor 1 shows the whole picture; centre is the point of the picture,
// across and down from 0 to 1, shown in the middle of the view.
struct ViewZoom {
    double factor = 1.0;
    QPointF centre{0.5, 0.5};

    bool operator==(const ViewZoom&) const = default;
};

// A pixel's colour as read under the pointer: of the decoded picture at the movie's own size, or (where that
// is not at hand) of the picture as drawn in the view.
struct PixelValue {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool decoded = false;
};

// The surface one movie is drawn on. It does not own its movie; the movie must be taken off (setMovie with
// nullptr) or outlive the view.
class MovieView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    ~MovieView() override = default;

    virtual Movie* movie() const = 0;
    virtual void setMovie(Movie* movie) = 0;

    // Keep the picture's aspect ratio (bars where it does not fill the view) or stretch it to fill the view.
    virtual bool preservesAspectRatio() const = 0;
    virtual void setPreservesAspectRatio(bool preserve) = 0;

    // The zoom stays with the view: a movie put on it later shows at the same zoom.
    ViewZoom zoom() const { return zoom_; }
    void setZoom(const ViewZoom& zoom)
    {
        zoom_ = zoom;
        applyZoom();
    }
    // The whole picture's size in the view at factor 1; the view's own size where it fills the view or its
    // size is not known.
    virtual QSizeF pictureSize() const { return size(); }
    // The movie's picture at its own size; empty where it is not known.
    virtual QSize sourcePictureSize() const { return {}; }

    // This view shows its picture and partner's combined, pictures of the same moment; with null, its own
    // again. The partner's view keeps showing its own.
    virtual void compareWith(MovieView* partner, const CompareSettings& settings)
    {
        Q_UNUSED(partner);
        Q_UNUSED(settings);
    }

    // Answers, later and on this thread, the colour at share (across and down, 0 to 1) of the movie's
    // picture, and at viewPoint of the drawn picture where the decoded one cannot be read; none without a
    // picture. The GUI thread never waits for it.
    using PixelAnswer = std::function<void(std::optional<PixelValue>)>;
    virtual void readPixel(QPointF share, QPointF viewPoint, PixelAnswer answer)
    {
        Q_UNUSED(share);
        Q_UNUSED(viewPoint);
        answer(std::nullopt);
    }

protected:
    virtual void applyZoom() {}

private:
    ViewZoom zoom_;
};

} // namespace tetrapan
