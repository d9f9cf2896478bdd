#pragma once
// The view's curve provider: the document's result curves of the graph's axis kind as graph
// curves, read without converting the document's curves, with their colours and pens.

#include <array>
#include <cstdint>
#include <vector>

#include "ui/graph/Graph.h"
#include "ui/graph/GraphCurves.h"

struct DocData;

// Position i modulo 3: solid width 4, dotted width 1, solid width 4; colour i modulo 3.
Graphing::Pen CurvePen(size_t position, const std::array<uint32_t, 3>& colours);

// y values: the phase with the phase flag, otherwise the level in dB in y mode Level and the
// magnitude in the other modes.
std::vector<Graphing::GraphCurve> DocumentCurves(const DocData& data, Graphing::Domain domain,
                                                 Graphing::YMode yMode, bool phase);
