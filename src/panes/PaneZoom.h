#pragma once

#include "engine/MovieView.h"

#include <QObject>

namespace tetrapan {

class MovController;
class SettingsDomain;

// The detail zoom of the panes: a wheel turned with Ctrl enlarges a pane around the pointer, a drag moves the
// enlarged picture, a reset shows it whole. Together (the setting, on by default) every pane shows the same
// zoom and the same part of its picture, so one detail is compared in all four; alone, each pane zooms by
// itself and a playlist chosen shows its movies whole.
class PaneZoom : public QObject {
    Q_OBJECT
public:
    static constexpr const char* OptZoomTogether = "optZoomTogether";
    static constexpr double MaxFactor = 8.0;
    // One notch of a mouse wheel enlarges by this much: three notches double.
    static constexpr double NotchFactor = 1.2599210498948732;

    PaneZoom(MovController& panes, SettingsDomain& settings, QObject* parent = nullptr);

    // The rules, for one view of the size view showing a picture of the size picture (at factor 1, centred):
    // the zoom at factor whose point under the pointer (in view coordinates) stays under it; ...
    static ViewZoom zoomedAround(const ViewZoom& zoom, double factor, QPointF pointer, QSizeF view,
                                 QSizeF picture);
    // ... the zoom moved with a drag of by pixels; ...
    static ViewZoom panned(const ViewZoom& zoom, QPointF by, QSizeF view, QSizeF picture);
    // ... and the zoom within 1 to MaxFactor whose picture leaves no gap at an edge it could fill.
    static ViewZoom clamped(const ViewZoom& zoom, QSizeF view, QSizeF picture);

    bool together() const;
    // notches of the wheel, fractions from a touchpad; towards the user zooms out.
    void zoomAt(int viewNo, QPointF pointer, double notches);
    // A drag over pane viewNo by so many pixels.
    void panBy(int viewNo, QPointF by);
    // viewNo 0 (or any pane while together): every pane.
    void reset(int viewNo);
    ViewZoom zoomOf(int viewNo) const;

private:
    MovieView* viewOf(int viewNo) const;
    // To pane viewNo, or to every pane while together.
    void show(int viewNo, const ViewZoom& zoom);
    void togetherChanged();

    MovController& panes_;
    SettingsDomain& settings_;
    // The pane zoomed last, whose zoom the others take when the zoom turns together.
    int lastViewNo_ = 1;
};

} // namespace tetrapan
