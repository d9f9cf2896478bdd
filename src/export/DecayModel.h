#pragma once
// The document's time and decay data as the decay views and the decay command show them: every
// stored impulse analysed (measured, predicted through the fitted equaliser, verified), the
// decay-time table and the curves of each view.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export/PlotExport.h"
#include "measure/Decay.h"

struct DocData;

namespace Exporting {

enum class DecaySet { Measured = 0, Predicted = 1, Verified = 2 };
inline constexpr size_t kDecaySetCount = 3;
enum class DecayView { Impulse, Step, GroupDelay, Waterfall };

// "impulse", "step", "group-delay", "waterfall"; none for another word.
std::optional<DecayView> ParseDecayView(const std::string& word);
// "measured", "predicted", "verified"; none for another word.
std::optional<DecaySet> ParseDecaySet(const std::string& word);
// "Measured", "Predicted", "Verified".
const wchar_t* DecaySetLabel(DecaySet set);

inline constexpr wchar_t kNoMeasurementsText[] = L"The document holds no measurements.";
inline constexpr wchar_t kPredatesDecayText[] =
    L"The measurement predates the time and decay data: its impulses were not kept. Measure "
    L"again to see its impulse, step response, group delay, waterfall and decay times.";

// One set of impulses analysed, per position and for the positions' average: the energy-time
// curves' and band energies' mean, the step responses' mean, the power-weighted group delay and
// the power-averaged waterfall.
struct DecaySetAnalysis {
    std::vector<Decay::Signal> impulses;
    std::vector<Decay::Signal> energy;
    std::vector<Decay::Signal> steps;
    std::vector<Decay::Spectrum> groupDelay;
    std::vector<Decay::Waterfall> waterfalls;
    std::vector<std::vector<Decay::BandDecay>> bands;
    Decay::Signal meanEnergy;
    Decay::Signal meanStep;
    Decay::Spectrum meanGroupDelay;
    Decay::Waterfall meanWaterfall;
    std::vector<Decay::BandDecay> meanBands;

    size_t Positions() const { return impulses.size(); }
};

struct DecayAnalysis {
    std::array<std::optional<DecaySetAnalysis>, kDecaySetCount> sets;
    // The equaliser's own group delay (s) at the group delay's frequencies; empty without a
    // fitted equaliser.
    std::vector<double> equaliserDelay;
    std::vector<double> equaliserFrequencies;
    std::array<uint32_t, 3> colours{};
    std::wstring name;

    const std::optional<DecaySetAnalysis>& Set(DecaySet s) const {
        return sets[static_cast<size_t>(s)];
    }
};

// Analyses the document's stored impulses: measured; predicted, the measured ones through the
// fitted equaliser as an upload writes it (its stored sections and its gain, at the equaliser's
// rate, which must be the impulses'); verified, the re-measurement's. Raises tsl::wruntime_error
// with kNoMeasurementsText or kPredatesDecayText when there is nothing to analyse.
DecayAnalysis AnalyseDecay(const DocData& data);

// Per band, the figure of each set at a position (0-based; -1 the average); none where the set
// lacks that position.
struct DecayRow {
    double nominalHz = 0.0;
    std::array<std::optional<Decay::BandDecay>, kDecaySetCount> figures;
};
std::vector<DecayRow> DecayTable(const DecayAnalysis& analysis, int position);
// A figure as the table shows it: T20 in whole ms, "noise" for a band whose noise floor is too
// high, "no decay" for one that does not decay by 25 dB, "-" where there is no data.
std::wstring DecayFigureText(const std::optional<Decay::BandDecay>& figure);
// The table's note on those words.
std::wstring DecayTableNote();

// A view's curves with the axes to draw them on.
struct DecayPlot {
    std::vector<PlotCurve> curves;
    Graphing::Domain domain = Graphing::Domain::Time;
    Graphing::XScale xScale = Graphing::XScale::Linear;
    Graphing::YMode yMode = Graphing::YMode::Level;
    std::wstring title;
};

// The view at a position (-1 the average) for the sets switched on: the impulse as its
// energy-time curve (dB against the measured peak), the step response (against the measured
// step's largest value), the group delay in ms (with the equaliser's own when predicted is on),
// the waterfall of the first set switched on that is present (slices from back to front, coloured
// by their start time).
DecayPlot MakeDecayPlot(const DecayAnalysis& analysis, DecayView view, int position,
                        const std::array<bool, kDecaySetCount>& sets = {true, true, true});

}  // namespace Exporting
