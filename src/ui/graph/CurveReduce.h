#pragma once
// Reduces a curve to at most four polyline points per pixel column (first, highest, lowest and
// last point of the column), so that a curve of any length draws quickly and its extremes within
// each column stay visible.

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "ui/graph/GraphMap.h"

namespace Graphing {

inline constexpr std::size_t kMaxPolylinePoints = 65536;

using PolylineSink = std::function<void(std::span<const PixelPoint>)>;

// Points whose x lies outside the map's x range are skipped; a curve whose x and y counts
// differ draws nothing. Where the curve leaves the plot's y range its line ends at the crossing
// of the edge and resumes where it comes back (a value that is not a number breaks it too), so a
// curve is cut at the edge, never drawn along it. The sink receives polylines of 2 to
// kMaxPolylinePoints points; one that the size limit ends is continued by the next, which starts
// at its last point. buffer is scratch space kept by the caller.
void ReduceCurve(const CGraphMap& map, std::span<const double> x, std::span<const double> y,
                 const PolylineSink& sink, std::vector<PixelPoint>& buffer);

}  // namespace Graphing
