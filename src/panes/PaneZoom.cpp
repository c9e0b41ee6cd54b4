#include "panes/PaneZoom.h"

#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <algorithm>
#include <cmath>

namespace tetrapan {

namespace {

// Picture shares per pixel at the zoom's factor, across and down.
QPointF sharesPerPixel(double factor, QSizeF picture)
{
    return {1.0 / std::max(picture.width() * factor, 1.0), 1.0 / std::max(picture.height() * factor, 1.0)};
}

double clampedCentre(double centre, double view, double zoomedPicture)
{
    // half the view, in shares of the picture: a picture narrower than the view stays in its middle
    const double half = view / (2.0 * std::max(zoomedPicture, 1.0));
    return half >= 0.5 ? 0.5 : std::clamp(centre, half, 1.0 - half);
}

} // namespace

PaneZoom::PaneZoom(MovController& panes, SettingsDomain& settings, QObject* parent)
    : QObject(parent), panes_(panes), settings_(settings)
{
    connect(&panes, &MovController::allMovieViewsChanged, this, [this] {
        if (!together())
            reset(0);
    });
    connect(&settings, &SettingsDomain::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(OptZoomTogether))
            togetherChanged();
    });
}

ViewZoom PaneZoom::clamped(const ViewZoom& zoom, QSizeF view, QSizeF picture)
{
    const double factor = std::clamp(zoom.factor, 1.0, MaxFactor);
    return {factor,
            {clampedCentre(zoom.centre.x(), view.width(), picture.width() * factor),
             clampedCentre(zoom.centre.y(), view.height(), picture.height() * factor)}};
}

ViewZoom PaneZoom::zoomedAround(const ViewZoom& zoom, double factor, QPointF pointer, QSizeF view,
                                QSizeF picture)
{
    const QPointF fromMiddle = pointer - QPointF(view.width() / 2.0, view.height() / 2.0);
    const QPointF before = sharesPerPixel(zoom.factor, picture);
    const double to = std::clamp(factor, 1.0, MaxFactor);
    const QPointF after = sharesPerPixel(to, picture);
    // the point of the picture under the pointer, found at the old factor, goes under it at the new one
    const QPointF underPointer(zoom.centre.x() + fromMiddle.x() * before.x(),
                               zoom.centre.y() + fromMiddle.y() * before.y());
    return clamped(
        {to, {underPointer.x() - fromMiddle.x() * after.x(), underPointer.y() - fromMiddle.y() * after.y()}},
        view, picture);
}

ViewZoom PaneZoom::panned(const ViewZoom& zoom, QPointF by, QSizeF view, QSizeF picture)
{
    const QPointF shares = sharesPerPixel(zoom.factor, picture);
    // the picture follows the pointer: the middle moves the other way
    return clamped(
        {zoom.factor, {zoom.centre.x() - by.x() * shares.x(), zoom.centre.y() - by.y() * shares.y()}}, view,
        picture);
}

bool PaneZoom::together() const
{
    return userDefaultsExtension::defaultBoolValue(settings_, QLatin1String(OptZoomTogether));
}

MovieView* PaneZoom::viewOf(int viewNo) const
{
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    return pane ? pane->movieView() : nullptr;
}

ViewZoom PaneZoom::zoomOf(int viewNo) const
{
    const MovieView* view = viewOf(viewNo);
    return view ? view->zoom() : ViewZoom();
}

void PaneZoom::zoomAt(int viewNo, QPointF pointer, double notches)
{
    const MovieView* view = viewOf(viewNo);
    if (!view)
        return;
    const ViewZoom zoom = view->zoom();
    show(viewNo, zoomedAround(zoom, zoom.factor * std::pow(NotchFactor, notches), pointer, view->size(),
                              view->pictureSize()));
}

void PaneZoom::panBy(int viewNo, QPointF by)
{
    if (const MovieView* view = viewOf(viewNo))
        show(viewNo, panned(view->zoom(), by, view->size(), view->pictureSize()));
}

void PaneZoom::reset(int viewNo)
{
    show(viewNo, ViewZoom());
}

void PaneZoom::show(int viewNo, const ViewZoom& zoom)
{
    if (viewNo >= 1 && viewNo <= MovController::PaneCount)
        lastViewNo_ = viewNo;
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        MovieView* view = viewOf(n);
        if (view && (n == viewNo || viewNo == 0 || together()) && view->zoom() != zoom)
            view->setZoom(zoom);
    }
}

void PaneZoom::togetherChanged()
{
    // turned together, the panes take the zoom of the one zoomed last; turned alone, each keeps its own
    if (together())
        show(lastViewNo_, zoomOf(lastViewNo_));
}

} // namespace tetrapan
