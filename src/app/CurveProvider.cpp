#include "app/CurveProvider.h"

#include "document/DocData.h"
#include "measure/Curve.h"

Graphing::Pen CurvePen(size_t position, const std::array<uint32_t, 3>& colours) {
    Graphing::Pen pen;
    pen.color = colours[position % 3];
    const bool dotted = position % 3 == 1;
    pen.width = dotted ? 1 : 4;
    pen.style = dotted ? Graphing::PenStyle::Dot : Graphing::PenStyle::Solid;
    return pen;
}

std::vector<Graphing::GraphCurve> DocumentCurves(const DocData& data, Graphing::Domain domain,
                                                 Graphing::YMode yMode, bool phase) {
    const AxisKind kind =
        domain == Graphing::Domain::Frequency ? AxisKind::Frequency : AxisKind::Time;
    std::vector<Graphing::GraphCurve> curves;
    for (const auto& curve : data.results) {
        if (!curve || curve->Kind() != kind)
            continue;
        Graphing::GraphCurve g;
        const int n = curve->Count();
        g.x.assign(curve->X(), curve->X() + n);
        g.y.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            g.y[static_cast<size_t>(i)] = phase ? PhaseAt(*curve, i)
                                          : yMode == Graphing::YMode::Level
                                              ? LevelDbAt(*curve, i)
                                              : MagnitudeAt(*curve, i);
        }
        g.pen = CurvePen(curves.size(), data.colours);
        curves.push_back(std::move(g));
    }
    return curves;
}
