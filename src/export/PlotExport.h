#pragma once
// The graph as a picture of a chosen size, with title, axes and legend, drawn through the
// graph's own painter interface: as SVG here, as PNG by the Qt target that chooses to.

#include <string>
#include <vector>

#include "export/PlotModel.h"
#include "ui/graph/GraphCurves.h"
#include "ui/graph/GraphPainter.h"

struct DocData;

namespace Exporting {

inline constexpr int kMinPlotSize = 200;
inline constexpr int kMaxPlotSize = 8000;

struct PlotOptions {
    int width = 1200;
    int height = 700;
    std::wstring title;  // empty: "Frequency Domain"
    // The graph's kind: the main graph's (frequency, logarithmic, level) unless a view says.
    Graphing::Domain domain = Graphing::Domain::Frequency;
    Graphing::XScale xScale = Graphing::XScale::Log;
    Graphing::YMode yMode = Graphing::YMode::Level;
};

// Text sizes in pixels; the SVG writer estimates them, the PNG painter measures its font.
struct TextMetrics {
    int fontPixels = 14;
    int charWidth = 8;
    int textHeight = 17;
};
TextMetrics EstimatedMetrics(int width, int height);

// The document's result curves and its re-measured curve in level (dB) with the window's colours
// and pens, each labelled, with the spread and positions options asks for (DocumentPlot with the
// graph's default axes).
std::vector<PlotCurve> DocumentPlotCurves(const DocData& data, const CurveOptions& options = {});

// Raises tsl::wruntime_error when a size lies outside kMinPlotSize .. kMaxPlotSize.
void CheckPlotSize(int width, int height);

// Frame, grid, labels, title, curves (ranges fitted to them) and legend (the labelled curves).
void DrawPlot(Graphing::IGraphPainter& painter, const std::vector<PlotCurve>& curves,
              const PlotOptions& options, const TextMetrics& metrics);

// A standalone SVG document of the plot.
std::string PlotSvg(const std::vector<PlotCurve>& curves, const PlotOptions& options);

}  // namespace Exporting
