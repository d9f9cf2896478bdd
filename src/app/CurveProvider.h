#pragma once
// The view's curve provider: the document's result curves of the graph's axis kind as graph
// curves, read without converting the document's curves, with their colours and pens.

#include <array>
#include <cstdint>
#include <vector>

#include "ui/graph/Graph.h"
#include "ui/graph/GraphCurves.h"

struct DocData;

// The re-measured curve's colour (green); it is not one of the document's colours.
inline constexpr uint32_t kVerifiedColour = 0x008000;

// What the graph shows besides the result curves.
struct CurveOptions {
    bool spread = false;     // the positions' lowest to highest level, shaded (level mode only)
    bool positions = false;  // each position's curve, thin
};

// Position i modulo 3: solid width 4, dotted width 1, solid width 4; colour i modulo 3.
Graphing::Pen CurvePen(size_t position, const std::array<uint32_t, 3>& colours);

// y values: the phase with the phase flag, otherwise the level in dB in y mode Level and the
// magnitude in the other modes. In drawing order: the spread, the positions, the result curves
// and the re-measured curve.
std::vector<Graphing::GraphCurve> DocumentCurves(const DocData& data, Graphing::Domain domain,
                                                 Graphing::YMode yMode, bool phase,
                                                 const CurveOptions& options = {});
