#include "app/CurveProvider.h"

#include "document/DocData.h"
#include "measure/Curve.h"
#include "wizard/Positions.h"

Graphing::Pen CurvePen(size_t position, const std::array<uint32_t, 3>& colours) {
    Graphing::Pen pen;
    pen.color = colours[position % 3];
    const bool dotted = position % 3 == 1;
    pen.width = dotted ? 1 : 4;
    pen.style = dotted ? Graphing::PenStyle::Dot : Graphing::PenStyle::Solid;
    return pen;
}

namespace {

Graphing::GraphCurve ToGraph(const CCurve& curve, Graphing::YMode yMode, bool phase,
                             Graphing::Pen pen) {
    Graphing::GraphCurve g;
    const int n = curve.Count();
    g.x.assign(curve.X(), curve.X() + n);
    g.y.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        g.y[static_cast<size_t>(i)] = phase                             ? PhaseAt(curve, i)
                                      : yMode == Graphing::YMode::Level ? LevelDbAt(curve, i)
                                                                        : MagnitudeAt(curve, i);
    }
    g.pen = pen;
    return g;
}

}  // namespace

std::vector<Graphing::GraphCurve> DocumentCurves(const DocData& data, Graphing::Domain domain,
                                                 Graphing::YMode yMode, bool phase,
                                                 const CurveOptions& options) {
    const AxisKind kind =
        domain == Graphing::Domain::Frequency ? AxisKind::Frequency : AxisKind::Time;
    std::vector<Graphing::GraphCurve> curves;
    const bool levels = !phase && yMode == Graphing::YMode::Level;
    if (options.spread && levels && kind == AxisKind::Frequency) {
        PositionSpread spread = SpreadOfPositions(data);
        if (!spread.x.empty()) {
            Graphing::GraphCurve band;
            band.x = std::move(spread.x);
            band.y = std::move(spread.maxDb);
            band.yLow = std::move(spread.minDb);
            band.pen.color = data.colours[0];
            curves.push_back(std::move(band));
        }
    }
    if (options.positions) {
        Graphing::Pen thin{data.colours[0], 1, Graphing::PenStyle::Solid};
        for (const auto& curve : data.measurements)
            if (curve && curve->Kind() == kind)
                curves.push_back(ToGraph(*curve, yMode, phase, thin));
    }
    size_t position = 0;
    for (const auto& curve : data.results) {
        if (!curve || curve->Kind() != kind)
            continue;
        curves.push_back(ToGraph(*curve, yMode, phase, CurvePen(position++, data.colours)));
    }
    if (data.verified && data.verified->Kind() == kind)
        curves.push_back(
            ToGraph(*data.verified, yMode, phase, {kVerifiedColour, 2, Graphing::PenStyle::Solid}));
    return curves;
}
