#pragma once

#include <QWidget>

namespace tetrapan {

class Movie;

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
};

} // namespace tetrapan
