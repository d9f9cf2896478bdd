#pragma once
// The plot: settings, texts, layout, ranges with their ticks, the rubber band, and drawing
// through IGraphPainter. The window forwards its events here and only paints.

#include <memory>
#include <string>
#include <vector>

#include "ui/graph/CurveReduce.h"
#include "ui/graph/GraphCurves.h"
#include "ui/graph/GraphMap.h"
#include "ui/graph/GraphPainter.h"
#include "ui/graph/GraphScale.h"
#include "ui/graph/GraphTicks.h"

namespace Graphing {

enum class XScale { Linear = 0, Log = 1 };
enum class YMode { Linear = 0, LogMagnitude = 1, Level = 2 };

inline constexpr Color kGraphBackground = Rgb(255, 255, 245);
inline constexpr int kReadoutChars = 20;

class CGraph {
public:
    explicit CGraph(Domain domain = Domain::Frequency, XScale xScale = XScale::Log,
                    YMode yMode = YMode::Level);

    Domain GetDomain() const { return domain_; }
    XScale GetXScale() const { return xScale_; }
    YMode GetYMode() const { return yMode_; }
    bool PhaseDisplay() const { return phase_; }
    void SetPhaseDisplay(bool phase) { phase_ = phase; }
    Color Background() const { return kGraphBackground; }

    const std::wstring& Title() const { return title_; }
    void SetTitle(std::wstring title) { title_ = std::move(title); }
    const std::wstring& AxisLabel() const { return axisLabel_; }
    // The level axis' title, drawn above its labels; empty for an axis without a unit.
    const std::wstring& LevelLabel() const { return levelLabel_; }

    // Margins from the font: left 10, right 5 average character widths; top 2, bottom 3 text
    // heights. Sizes in device pixels.
    void Layout(int width, int height, int charWidth, int textHeight);
    int ClientWidth() const { return width_; }
    int ClientHeight() const { return height_; }
    int TextHeight() const { return textHeight_; }
    PixelPoint PlotCentre() const;

    void SetRanges(double x0, double x1, double y0, double y1);
    void SetRanges(const Ranges& r) { SetRanges(r.x0, r.x1, r.y0, r.y1); }
    Ranges GetRanges() const { return map_->GetRanges(); }
    const Ranges& InitialRanges() const { return initial_; }
    const CGraphMap& Map() const { return *map_; }
    const ZoomLimits& Limits() const { return limits_; }
    void SetLimits(const ZoomLimits& limits) { limits_ = limits; }
    // Grid step of each axis; the number of decades on a logarithmic axis of a decade or more.
    double XGridStep() const { return xStep_; }
    double YGridStep() const { return yStep_; }
    const std::vector<Tick>& XTicks() const { return xTicks_; }
    const std::vector<Tick>& YTicks() const { return yTicks_; }

    // Not owned; asked for its curves on every paint and on Rescale.
    void SetCurveSource(CGraphCtrlCurves* source) { source_ = source; }
    CGraphCtrlCurves* CurveSource() const { return source_; }

    // Background, grid with marks and labels, frame, title and axis label.
    void DrawFrame(IGraphPainter& painter) const;
    // The source's curves, reduced per pixel column.
    void DrawCurves(IGraphPainter& painter) const;
    void DrawCurves(IGraphPainter& painter, std::span<const DrawEntry> curves) const;
    // The readout of a pixel inside the plot, above its top right corner, with the value of
    // the curve of `curves` (those drawn) nearest to it.
    void DrawReadout(IGraphPainter& painter, PixelPoint p,
                     std::span<const DrawEntry> curves = {}) const;

    std::wstring XReadout(int px) const;
    std::wstring YReadout(int py) const;
    // The curve nearest to p (vertically, at p's x) and its value there: "Measured -5.12 dB";
    // empty when no curve spans that x. Bands are not curves here.
    std::wstring CurveReadout(std::span<const DrawEntry> curves, PixelPoint p) const;

    // One wheel step about cursor; nothing while a rubber band is drawn. True when it zoomed.
    bool Zoom(PixelPoint cursor, bool zoomIn);
    bool ZoomAtCentre(bool zoomIn) { return Zoom(PlotCentre(), zoomIn); }
    // The wheel's zoom: the point under the cursor stays where it is.
    bool ZoomAnchored(PixelPoint cursor, bool zoomIn);
    // x moves by tenths of its length (steps > 0: to higher values).
    bool Pan(int steps);
    // Ranges to the extent of the source's curves (the initial ranges when there are none).
    void Rescale();

    void BeginRubberBand(PixelPoint p);
    void DragRubberBand(PixelPoint p);
    // Zooms to the rectangle when it has an area; true when it did.
    bool EndRubberBand(PixelPoint p);
    bool RubberBandActive() const { return dragging_; }
    PixelRect RubberBand() const;

private:
    // A shaded band between the entry's yLow and y.
    void DrawBand(IGraphPainter& painter, const DrawEntry& entry) const;
    void UpdateTicks();

    Domain domain_;
    XScale xScale_;
    YMode yMode_;
    bool phase_ = false;
    std::unique_ptr<CGraphMap> map_;
    Ranges initial_;
    ZoomLimits limits_;
    std::wstring title_;
    std::wstring axisLabel_;
    std::wstring levelLabel_;
    int width_ = 0;
    int height_ = 0;
    int charWidth_ = 1;
    int textHeight_ = 1;
    double xStep_ = 0.0;
    double yStep_ = 0.0;
    double yLabelStep_ = 0.0;  // the labelled ticks' step on an evenly stepped y axis
    std::vector<Tick> xTicks_;
    std::vector<Tick> yTicks_;
    CGraphCtrlCurves* source_ = nullptr;
    bool dragging_ = false;
    PixelPoint anchor_;
    PixelPoint corner_;
    mutable std::vector<PixelPoint> scratch_;
};

}  // namespace Graphing
