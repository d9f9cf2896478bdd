#pragma once
// How the owner of a graph supplies its curves: on every paint the graph asks its curve source
// for draw entries (x values, y values, pen). The spans must stay valid until the paint ends.

#include <span>
#include <string_view>
#include <vector>

#include "ui/graph/GraphTypes.h"

namespace Graphing {

class CGraph;

struct DrawEntry {
    std::span<const double> x;
    std::span<const double> y;
    Pen pen;
    // Not empty (as many values as y): a band from yLow up to y, shaded in the pen's colour.
    std::span<const double> yLow{};
    // The curve's name in the pointer's readout; may be empty.
    std::wstring_view label{};
};

class CGraphCtrlCurves {
public:
    virtual ~CGraphCtrlCurves() = default;
    // The curves to draw on graph, in drawing order.
    virtual std::vector<DrawEntry> CurvesToDraw(const CGraph& graph) = 0;
};

// A curve held by value.
struct GraphCurve {
    std::vector<double> x;
    std::vector<double> y;
    Pen pen;
    std::vector<double> yLow{};  // see DrawEntry
};

// A curve source that owns its curves; for owners that hand over copies.
class CurveList : public CGraphCtrlCurves {
public:
    std::vector<GraphCurve> curves;

    std::vector<DrawEntry> CurvesToDraw(const CGraph&) override {
        std::vector<DrawEntry> entries;
        entries.reserve(curves.size());
        for (const GraphCurve& c : curves) {
            entries.push_back({c.x, c.y, c.pen, c.yLow});
        }
        return entries;
    }
};

}  // namespace Graphing
