#pragma once

#include "engine/MovieView.h"
#include "library/Movie.h"

#include <QPointer>

namespace tetrapan::test {

// A movie view that draws nothing but black and remembers what it was told.
class FakeMovieView final : public MovieView {
    Q_OBJECT
public:
    using MovieView::MovieView;

    Movie* movie() const override { return movie_.data(); }
    void setMovie(Movie* movie) override { movie_ = movie; }
    bool preservesAspectRatio() const override { return preservesAspectRatio_; }
    void setPreservesAspectRatio(bool preserve) override { preservesAspectRatio_ = preserve; }

private:
    QPointer<Movie> movie_;
    bool preservesAspectRatio_ = true;
};

} // namespace tetrapan::test
