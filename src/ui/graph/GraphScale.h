#pragma once
// Range arithmetic of the graph: one wheel or arrow-key zoom step, the limits every zoom keeps
// to, and scaling the ranges to the curves.

#include <span>

#include "ui/graph/GraphCurves.h"
#include "ui/graph/GraphMap.h"
#include "ui/graph/GraphTicks.h"

namespace Graphing {

struct ZoomLimits {
    double x0 = 20.0;
    double x1 = 1000.0;
    double y0 = -150.0;
    double y1 = 150.0;
    // Zooming in narrows x only above this span and y only above minYSpan (world values).
    double minXSpan = 316.22776601683796;  // 10^2.5
    double minYSpan = 5.0;
};

// Frequency: 20 ... 1000 Hz. Time: 0 ... 10 s, down to a 1 ms span. A logarithmic magnitude
// axis keeps to the magnitudes of -150 ... 150 dB.
ZoomLimits DefaultLimits(Domain domain, bool logY);

// An end beyond a limit is set to it and the other end moves by the same amount (measured on the
// axis, so in logarithms on a logarithmic one); then both ends are limited.
Ranges KeepWithin(Ranges r, const ZoomLimits& limits, bool logX, bool logY);

// One zoom step about cursor (the plot's centre when the cursor is outside the plot): both axes
// pan by a quarter of the cursor's offset from the centre, then shrink (zoomIn) or grow by 5 % of
// their length at each end.
Ranges ZoomStep(const CGraphMap& map, PixelPoint cursor, bool zoomIn, const ZoomLimits& limits);
// One zoom step that keeps the point under the cursor where it is (the plot's centre when the
// cursor is outside the plot): each axis shrinks or grows by the same 10 % about it, an axis at
// its minimum span stays; the limits may then shift the range.
Ranges ZoomAnchored(const CGraphMap& map, PixelPoint cursor, bool zoomIn, const ZoomLimits& limits);
// x moves by a tenth of its length to the right (steps > 0) or left, within the limits.
Ranges PanStep(const CGraphMap& map, int steps, const ZoomLimits& limits);

// x: the curves' extent within the limits; y: the extent of the points inside that x range,
// widened to grid steps (decades on a logarithmic axis). fallback when there is nothing to show.
Ranges AutoScale(const CGraphMap& map, std::span<const DrawEntry> curves, const ZoomLimits& limits,
                 const Ranges& fallback);

}  // namespace Graphing
