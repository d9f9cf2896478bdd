#include "export/PlotModel.h"

#include <algorithm>
#include <cmath>

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

namespace {

const wchar_t* const kResultLabels[] = {L"Measured", L"Target", L"Calculated"};

int Mix(int from, int to, double t) {
    return static_cast<int>(std::lround(from + (to - from) * t));
}

Graphing::GraphCurve ToGraph(const CCurve& curve, const PlotAxes& axes, Graphing::Pen pen) {
    Graphing::GraphCurve g;
    const int n = curve.Count();
    g.x.assign(curve.X(), curve.X() + n);
    g.y.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        g.y[static_cast<size_t>(i)] = axes.phase ? PhaseAt(curve, i)
                                      : axes.yMode == Graphing::YMode::Level
                                          ? LevelDbAt(curve, i)
                                          : MagnitudeAt(curve, i);
    }
    g.pen = pen;
    return g;
}

}  // namespace

Graphing::Pen PositionPen(size_t p, size_t count, Graphing::Color measured, bool selected) {
    // From halfway to black to halfway to white.
    const double t = count > 1 ? static_cast<double>(p) / static_cast<double>(count - 1) : 0.5;
    const int to = t < 0.5 ? 0 : 255;
    const double amount = std::abs(t - 0.5);
    const Graphing::Color colour = Graphing::Rgb(Mix(Graphing::Red(measured), to, amount),
                                                 Mix(Graphing::Green(measured), to, amount),
                                                 Mix(Graphing::Blue(measured), to, amount));
    return {colour, selected ? 3 : 1, Graphing::PenStyle::Solid};
}

const wchar_t* ResultLabel(size_t i) {
    return i < 3 ? kResultLabels[i] : L"";
}

PositionSpread SpreadOfPositions(const DocData& data) {
    std::vector<CCurve> levels;
    for (const auto& c : data.measurements) {
        if (!c || c->Kind() != AxisKind::Frequency || c->Count() == 0)
            continue;
        levels.push_back(*c);
        ToDbPhase(levels.back());
    }
    PositionSpread spread;
    if (levels.empty())
        return spread;
    const CCurve& first = levels.front();
    const size_t n = static_cast<size_t>(first.Count());
    spread.x.reserve(n);
    spread.minDb.reserve(n);
    spread.maxDb.reserve(n);
    // Per position the last point below the frequency: the frequencies ascend, so each lookup
    // goes on from where the previous one stopped.
    std::vector<int> below(levels.size(), 0);
    for (int i = 0; i < first.Count(); ++i) {
        const double f = first.X()[i];
        double lo = first.First()[i], hi = lo;
        for (size_t p = 1; p < levels.size(); ++p) {
            const CCurve& level = levels[p];
            while (below[p] + 1 < level.Count() && level.X()[below[p] + 1] < f)
                ++below[p];
            const double v = ValueAt(level, f, below[p]).first;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        spread.x.push_back(f);
        spread.minDb.push_back(lo);
        spread.maxDb.push_back(hi);
    }
    return spread;
}

std::vector<Exporting::PlotCurve> DocumentPlot(const DocData& data, const PlotAxes& axes,
                                               const CurveOptions& options) {
    const AxisKind kind =
        axes.domain == Graphing::Domain::Frequency ? AxisKind::Frequency : AxisKind::Time;
    std::vector<Exporting::PlotCurve> curves;
    const bool levels = !axes.phase && axes.yMode == Graphing::YMode::Level;
    if (options.spread && levels && kind == AxisKind::Frequency) {
        PositionSpread spread = SpreadOfPositions(data);
        if (!spread.x.empty()) {
            Exporting::PlotCurve band;
            band.curve.x = std::move(spread.x);
            band.curve.y = std::move(spread.maxDb);
            band.curve.yLow = std::move(spread.minDb);
            band.curve.pen.color = data.colours[0];
            band.label = L"Spread";
            curves.push_back(std::move(band));
        }
    }
    Exporting::PlotCurve selected;
    if (options.positions) {
        const size_t count = data.measurements.size();
        for (size_t p = 0; p < count; ++p) {
            const CurvePtr& curve = data.measurements[p];
            if (!curve || curve->Kind() != kind)
                continue;
            const bool chosen = options.selected >= 0 && p == static_cast<size_t>(options.selected);
            Exporting::PlotCurve c{
                ToGraph(*curve, axes, PositionPen(p, count, data.colours[0], chosen)),
                L"Position " + std::to_wstring(p + 1)};
            if (chosen)
                selected = std::move(c);
            else
                curves.push_back(std::move(c));
        }
    }
    size_t position = 0;
    for (size_t i = 0; i < data.results.size(); ++i) {
        const CurvePtr& curve = data.results[i];
        if (!curve || curve->Kind() != kind)
            continue;
        curves.push_back({ToGraph(*curve, axes, CurvePen(position++, data.colours)),
                          i < 3 ? kResultLabels[i] : L"Curve " + std::to_wstring(i + 1)});
    }
    if (data.verified && data.verified->Kind() == kind)
        curves.push_back({ToGraph(*data.verified, axes, kVerifiedPen), L"Verified"});
    if (!selected.label.empty())
        curves.push_back(std::move(selected));
    return curves;
}

std::vector<Graphing::GraphCurve> DocumentCurves(const DocData& data, Graphing::Domain domain,
                                                 Graphing::YMode yMode, bool phase,
                                                 const CurveOptions& options) {
    std::vector<Graphing::GraphCurve> out;
    for (Exporting::PlotCurve& c : DocumentPlot(data, {domain, yMode, phase}, options))
        out.push_back(std::move(c.curve));
    return out;
}

void PlotModel::SetDocument(const DocData* data) {
    data_ = data;
    valid_ = false;
}

void PlotModel::SetOptions(const CurveOptions& options) {
    if (options != options_)
        valid_ = false;
    options_ = options;
}

const std::vector<Exporting::PlotCurve>& PlotModel::Curves(const PlotAxes& axes) {
    if (!valid_ || axes != axes_) {
        curves_.clear();
        if (data_ != nullptr)
            curves_ = DocumentPlot(*data_, axes, options_);
        axes_ = axes;
        valid_ = true;
        ++builds_;
    }
    return curves_;
}

std::vector<Graphing::DrawEntry> PlotModel::Entries(const PlotAxes& axes) {
    const std::vector<Exporting::PlotCurve>& curves = Curves(axes);
    std::vector<Graphing::DrawEntry> entries;
    entries.reserve(curves.size());
    for (const Exporting::PlotCurve& c : curves)
        entries.push_back({c.curve.x, c.curve.y, c.curve.pen, c.curve.yLow, c.label});
    return entries;
}
