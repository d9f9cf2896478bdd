#pragma once
// Grid ticks and their labels. A logarithmic axis of at least one decade gets decade ticks
// (major 1, 2, 5 and minor 1.5, 3, 4, 6, 7, 8, 9 per decade); a linear axis, and a logarithmic
// one of less than a decade, gets evenly stepped ticks.

#include <string>
#include <vector>

#include "ui/graph/GraphMap.h"

namespace Graphing {

enum class Domain { Frequency = 0, Time = 1 };

// How an axis writes its values: the x axis in kHz above 1000 Hz or in ms, the y axis plainly.
enum class LabelKind { Frequency, Time, Plain };

struct Tick {
    double value = 0.0;
    int pixel = 0;
    bool major = true;
    std::wstring label;  // empty on minor ticks
};

// 1/5, 1/2 or 1 times the decade of the span; 0 for an empty or reversed span.
double GridStep(double min, double max);

// The value with 8 significant digits.
std::wstring FormatNumber(double v);
std::wstring FormatLabel(double v, LabelKind kind);

// Keeps the labels of evenly stepped ticks (placed in pixels) at least minGap pixels apart: only
// the multiples of m × step keep theirs, m the least of 1, 2, 5, 10, 20, ... that gives the gap;
// the others stay as minor grid lines. Returns m × step, the step of the labels.
double ThinLabels(std::vector<Tick>& ticks, double step, int minGap);

// Ticks from min to max of one axis; pixels come from the map's clamped operation.
std::vector<Tick> AxisTicks(const CGraphMap& map, bool xAxis, LabelKind kind);

// Decade ticks between min and max with a 1 % tolerance.
std::vector<Tick> DecadeTicks(double min, double max, LabelKind kind);
// min + step - (min mod step), then every step up to max.
std::vector<Tick> LinearTicks(double min, double max, LabelKind kind);

}  // namespace Graphing
