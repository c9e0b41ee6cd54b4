#pragma once

#include <QPointF>

namespace tetrapan {

// How two movies are shown in one place: the first (A) combined with the second (B), pictures of the same
// moment.
enum class CompareKind { Wipe, Blend, Difference, Flip };

struct CompareSettings {
    CompareKind kind = CompareKind::Wipe;
    // Where the wipe's line stands, as a share of the view across (a vertical line) or down.
    double wipeAt = 0.5;
    bool wipeVertical = true;
    // B over A, 0 shows A alone.
    double opacity = 0.5;
    // What the difference is multiplied by: 1, 4 or 16.
    int factor = 1;
    // Flip: B is shown rather than A.
    bool showsB = false;

    bool operator==(const CompareSettings&) const = default;
};

} // namespace tetrapan
