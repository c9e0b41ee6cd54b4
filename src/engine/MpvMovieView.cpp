#include "engine/MpvMovieView.h"

#include "engine/MpvGLSurface.h"
#include "engine/MpvMovie.h"
#include "engine/MpvSoftwareSurface.h"

#include <QResizeEvent>

namespace tetrapan {

MpvMovieView::MpvMovieView(DrawingPath path, QWidget* parent) : MovieView(parent), path_(path)
{
    if (path_ == DrawingPath::OpenGL)
        glSurface_ = new MpvGLSurface(this);
    else
        softwareSurface_ = new MpvSoftwareSurface(this);
}

MpvMovieView::~MpvMovieView()
{
    setMovie(nullptr);
}

Movie* MpvMovieView::movie() const
{
    return movie_.data();
}

void MpvMovieView::setMovie(Movie* movie)
{
    auto* mpvMovie = qobject_cast<MpvMovie*>(movie);
    if (movie && !mpvMovie)
        return;
    if (mpvMovie == movie_)
        return;
    movie_ = mpvMovie;
    if (mpvMovie)
        mpvMovie->setKeepAspect(preservesAspectRatio_);
    if (glSurface_)
        glSurface_->setMovie(mpvMovie);
    else
        softwareSurface_->setMovie(mpvMovie);
}

void MpvMovieView::setPreservesAspectRatio(bool preserve)
{
    preservesAspectRatio_ = preserve;
    if (movie_)
        movie_->setKeepAspect(preserve);
    update();
    if (glSurface_)
        glSurface_->update();
    else
        softwareSurface_->update();
}

void MpvMovieView::resizeEvent(QResizeEvent* event)
{
    MovieView::resizeEvent(event);
    if (glSurface_)
        glSurface_->setGeometry(rect());
    else
        softwareSurface_->setGeometry(rect());
}

} // namespace tetrapan
