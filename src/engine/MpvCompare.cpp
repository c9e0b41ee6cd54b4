#include "engine/MpvCompare.h"

#include "engine/FrameCombiner.h"
#include "engine/MpvGLCompare.h"
#include "engine/MpvGLSurface.h"
#include "engine/MpvMovie.h"
#include "engine/MpvMovieView.h"
#include "engine/MpvSoftwareSurface.h"
#include "engine/SoftwareCombiner.h"

#include <QEvent>

namespace tetrapan {

namespace {
double aspectOf(const MpvMovieView& view)
{
    const QSize picture = view.movie() ? static_cast<MpvMovie*>(view.movie())->pictureSize() : QSize();
    return picture.isEmpty() ? 0.0 : double(picture.width()) / picture.height();
}
} // namespace

MpvCompare::MpvCompare(MpvMovieView& a, MpvMovieView& b) : a_(a), b_(&b)
{
    if (MpvSoftwareSurface* aSurface = a.softwareSurface()) {
        software_ = std::make_shared<SoftwareCombiner>([aSurface] { aSurface->redraw(); });
        // the hooks hold the combiner: each renderer may be let go of before this
        std::shared_ptr<SoftwareCombiner> combiner = software_;
        b.softwareSurface()->setPictureHook(
            [combiner](QImage& image, SoftwareCombiner::Clock::time_point due, bool newFrame) {
                combiner->offer(image, due, newFrame);
                return true;
            });
        aSurface->setPictureHook(
            [combiner](QImage& image, SoftwareCombiner::Clock::time_point due, bool newFrame) {
                return combiner->combineInto(image, due, newFrame);
            });
        // the surfaces themselves: B's view may be on its way out when its surface says its movie left
        const auto followPlaying = [this, aSurface, bSurface = QPointer(b.softwareSurface())] {
            if (bSurface)
                software_->setPlaying(aSurface->moviePlays(), bSurface->moviePlays());
        };
        connect(aSurface, &MpvSoftwareSurface::playingChanged, this, followPlaying);
        connect(b.softwareSurface(), &MpvSoftwareSurface::playingChanged, this, followPlaying);
        followPlaying();
    } else {
        gl_ = std::make_unique<MpvGLCompare>(*a.glSurface(), *b.glSurface());
    }
    a.installEventFilter(this);
    b.installEventFilter(this);
    connect(&a, &MpvMovieView::pictureShapeChanged, this, &MpvCompare::refit);
    connect(&b, &MpvMovieView::pictureShapeChanged, this, &MpvCompare::refit);
    refit();
}

MpvCompare::~MpvCompare()
{
    if (software_) {
        software_->stop();
        if (b_) {
            b_->softwareSurface()->setPictureHook({});
            b_->softwareSurface()->setDrawSize(std::nullopt);
        }
        a_.softwareSurface()->setPictureHook({});
    }
    gl_.reset();
}

void MpvCompare::setSettings(const CompareSettings& settings)
{
    refit();
    if (software_) {
        software_->setSettings(settings);
        // stopped, the picture shows the new settings at once
        a_.softwareSurface()->redraw();
    } else if (gl_) {
        gl_->setSettings(settings);
    }
}

bool MpvCompare::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && (watched == &a_ || watched == b_))
        refit();
    return QObject::eventFilter(watched, event);
}

void MpvCompare::refit()
{
    if (!b_)
        return;
    double aAspect = a_.preservesAspectRatio() ? aspectOf(a_) : 0.0;
    double bAspect = b_->preservesAspectRatio() ? aspectOf(*b_) : 0.0;
    // one picture's size not known yet (a movie just opened): each is taken as drawn, rather than B's whole
    // image, bars and all, squeezed into A's picture
    if ((aAspect > 0) != (bAspect > 0) && a_.preservesAspectRatio() == b_->preservesAspectRatio())
        aAspect = bAspect = 0.0;
    if (software_) {
        MpvSoftwareSurface* aSurface = a_.softwareSurface();
        const QSize size = (QSizeF(a_.size()) * aSurface->devicePixelRatioF()).toSize();
        // A squeezed out of sight (B zoomed to the window): B draws for its own place, or it would draw
        // nothing and stand on its last picture
        b_->softwareSurface()->setDrawSize(size.isEmpty() ? std::nullopt : std::optional(size));
        // B's pictures are fitted to A's place as they come: places that moved (a new shape, a resize) have B
        // draw its picture again, and a stopped A with it; places as they were draw nothing again
        if (software_->setPictureRects(FrameCombiner::pictureRect(QSizeF(size), aAspect, aAspect > 0),
                                       FrameCombiner::pictureRect(QSizeF(size), bAspect, bAspect > 0)))
            b_->softwareSurface()->redraw();
    } else if (gl_) {
        gl_->setAspects(aAspect, bAspect);
    }
}

} // namespace tetrapan
