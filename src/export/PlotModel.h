#pragma once
// The document as the graph draws it: its curves with their pens and legend labels, for the main
// view and the picture export alike. The conversion from the document runs once per change of
// the document or of the view's options, never while painting.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/graph/Graph.h"
#include "ui/graph/GraphCurves.h"

struct DocData;

// The re-measured curve's colour (green); it is not one of the document's colours.
inline constexpr uint32_t kVerifiedColour = 0x008000;
inline constexpr Graphing::Pen kVerifiedPen{kVerifiedColour, 2, Graphing::PenStyle::Solid};

// What the graph shows besides the result curves.
struct CurveOptions {
    bool spread = false;     // the positions' lowest to highest level, shaded (level mode only)
    bool positions = false;  // each position's curve, thin
    int selected = -1;       // the selected position, drawn on top and wider; -1 for none

    bool operator==(const CurveOptions&) const = default;
};

// The graph's axis kind and what its y axis shows.
struct PlotAxes {
    Graphing::Domain domain = Graphing::Domain::Frequency;
    Graphing::YMode yMode = Graphing::YMode::Level;
    bool phase = false;

    bool operator==(const PlotAxes&) const = default;
};

namespace Exporting {

struct PlotCurve {
    Graphing::GraphCurve curve;
    std::wstring label;
};

}  // namespace Exporting

// Position i modulo 3: solid width 4, dotted width 1, solid width 4; colour i modulo 3.
Graphing::Pen CurvePen(size_t position, const std::array<uint32_t, 3>& colours);
// Measured position p of count: the measured colour from darker to lighter, so that the
// positions tell apart and still read as one family; width 1, the selected one 3.
Graphing::Pen PositionPen(size_t p, size_t count, Graphing::Color measured, bool selected);
// "Measured", "Target" and "Calculated": the result curves' labels in the graph's legends.
const wchar_t* ResultLabel(size_t i);

// y values: the phase with the phase flag, otherwise the level in dB in y mode Level and the
// magnitude in the other modes; the document's curves are read, not converted. In drawing
// order: the spread, the positions, the result curves ("Measured", "Target", "Calculated"), the
// re-measured curve ("Verified") and the selected position on top of them.
std::vector<Exporting::PlotCurve> DocumentPlot(const DocData& data, const PlotAxes& axes,
                                               const CurveOptions& options = {});
// The same without the labels.
std::vector<Graphing::GraphCurve> DocumentCurves(const DocData& data, Graphing::Domain domain,
                                                 Graphing::YMode yMode, bool phase,
                                                 const CurveOptions& options = {});

// Lowest and highest level in dB per frequency across the positions, at the first position's
// frequencies; empty without frequency measurements.
struct PositionSpread {
    std::vector<double> x, minDb, maxDb;
};
PositionSpread SpreadOfPositions(const DocData& data);

// DocumentPlot of one document, kept until the document or the options change: a repaint that
// changes neither (a pointer move over the graph) draws from it without reading the document.
class PlotModel {
public:
    // Not owned. Call DocumentChanged after every change of the document's curves or colours.
    void SetDocument(const DocData* data);
    void DocumentChanged() { valid_ = false; }
    void SetOptions(const CurveOptions& options);
    const CurveOptions& Options() const { return options_; }

    // The curves for these axes; rebuilt when something changed since the last call.
    const std::vector<Exporting::PlotCurve>& Curves(const PlotAxes& axes);
    // Curves(axes) as draw entries; they stay valid until the next change.
    std::vector<Graphing::DrawEntry> Entries(const PlotAxes& axes);
    // How many times the curves were built from the document.
    int Builds() const { return builds_; }

private:
    const DocData* data_ = nullptr;
    CurveOptions options_;
    PlotAxes axes_;
    bool valid_ = false;
    std::vector<Exporting::PlotCurve> curves_;
    int builds_ = 0;
};
