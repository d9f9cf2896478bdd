#include "export/DecayModel.h"

#include <algorithm>
#include <cmath>

#include "correction/EqDecay.h"
#include "document/DocData.h"
#include "export/ExportService.h"
#include "threading/Errors.h"

namespace Exporting {

namespace {

using Decay::Signal;

constexpr double kRate = Decay::kImpulseRate;
// How much of the period the time views show.
constexpr double kEnergyViewSeconds = 0.8;
constexpr double kStepViewSeconds = 0.5;

Signal ToSignal(const std::vector<float>& samples) {
    return Signal(samples.begin(), samples.end());
}

DecaySetAnalysis Analyse(std::vector<Signal> impulses) {
    DecaySetAnalysis a;
    std::vector<std::vector<Decay::BandEnergy>> bands;
    for (const Signal& h : impulses) {
        a.energy.push_back(Decay::EnergyTime(h));
        a.steps.push_back(Decay::StepResponse(h));
        a.groupDelay.push_back(Decay::GroupDelay(h, kRate));
        a.waterfalls.push_back(Decay::CumulativeSpectralDecay(h, kRate));
        bands.push_back(Decay::BandEnergies(h, kRate));
        a.bands.push_back(Decay::DecayTimes(bands.back(), kRate));
    }
    a.impulses = std::move(impulses);
    a.meanEnergy = Decay::Mean(a.energy);
    a.meanStep = Decay::Mean(a.steps);
    a.meanGroupDelay = Decay::MeanGroupDelay(a.groupDelay);
    a.meanWaterfall = Decay::MeanWaterfall(a.waterfalls);
    a.meanBands = Decay::DecayTimes(Decay::MeanBandEnergies(bands), kRate);
    return a;
}

std::vector<Signal> Signals(const std::vector<std::vector<float>>& stored) {
    std::vector<Signal> out;
    for (const auto& s : stored)
        out.push_back(ToSignal(s));
    return out;
}

// The equaliser as an upload writes it, when it can run on the stored impulses.
std::optional<SectionArrays> Equaliser(const DocData& data) {
    if (data.eq.valid != 1 || !std::isfinite(data.eq.gain) || EqualiserRate(data) != kRate)
        return std::nullopt;
    return StoredSections(data.eq);
}

// Red (t = 0) through yellow and green to blue (t = 1).
Graphing::Color Ramp(double t) {
    const double hue = 240.0 * std::clamp(t, 0.0, 1.0);
    const double x = 1.0 - std::abs(std::fmod(hue / 60.0, 2.0) - 1.0);
    double r = 0, g = 0, b = 0;
    if (hue < 60)
        r = 1, g = x;
    else if (hue < 120)
        r = x, g = 1;
    else if (hue < 180)
        g = 1, b = x;
    else
        g = x, b = 1;
    const double v = 0.85;
    return Graphing::Rgb(static_cast<int>(r * v * 255), static_cast<int>(g * v * 255),
                         static_cast<int>(b * v * 255));
}

Graphing::Pen SetPen(const DecayAnalysis& a, DecaySet set) {
    switch (set) {
        case DecaySet::Measured:
            return {a.colours[0], 2, Graphing::PenStyle::Solid};
        case DecaySet::Predicted:
            return {a.colours[2], 2, Graphing::PenStyle::Solid};
        case DecaySet::Verified:
            break;
    }
    return kVerifiedPen;
}

PlotCurve TimeCurve(const Signal& values, double seconds, double scale, Graphing::Pen pen,
                    std::wstring label) {
    PlotCurve c;
    const size_t n = std::min(values.size(), static_cast<size_t>(seconds * kRate) + 1);
    c.curve.x.resize(n);
    c.curve.y.resize(n);
    for (size_t i = 0; i < n; ++i) {
        c.curve.x[i] = static_cast<double>(i) / kRate;
        c.curve.y[i] = values[i] * scale;
    }
    c.curve.pen = pen;
    c.label = std::move(label);
    return c;
}

const Signal& Pick(const std::vector<Signal>& each, const Signal& mean, int position) {
    return position < 0 ? mean : each[static_cast<size_t>(position)];
}

DecaySet SetAt(size_t index) {
    return static_cast<DecaySet>(index);
}

bool Has(const std::optional<DecaySetAnalysis>& set, int position) {
    return set && (position < 0 || static_cast<size_t>(position) < set->Positions());
}

}  // namespace

std::optional<DecayView> ParseDecayView(const std::string& word) {
    if (word == "impulse")
        return DecayView::Impulse;
    if (word == "step")
        return DecayView::Step;
    if (word == "group-delay")
        return DecayView::GroupDelay;
    if (word == "waterfall")
        return DecayView::Waterfall;
    return std::nullopt;
}

std::optional<DecaySet> ParseDecaySet(const std::string& word) {
    if (word == "measured")
        return DecaySet::Measured;
    if (word == "predicted")
        return DecaySet::Predicted;
    if (word == "verified")
        return DecaySet::Verified;
    return std::nullopt;
}

const wchar_t* DecaySetLabel(DecaySet set) {
    switch (set) {
        case DecaySet::Measured:
            return L"Measured";
        case DecaySet::Predicted:
            return L"Predicted";
        case DecaySet::Verified:
            break;
    }
    return L"Verified";
}

DecayAnalysis AnalyseDecay(const DocData& data) {
    if (data.measurements.empty())
        throw tsl::wruntime_error(kNoMeasurementsText);
    if (data.impulses.empty() || data.impulses.size() != data.measurements.size())
        throw tsl::wruntime_error(kPredatesDecayText);
    DecayAnalysis a;
    a.colours = data.colours;
    a.name = data.name;
    std::vector<Signal> measured = Signals(data.impulses);
    if (const std::optional<SectionArrays> eq = Equaliser(data)) {
        const double gain = std::pow(10.0, data.eq.gain / 20.0);
        std::vector<Signal> predicted;
        for (const Signal& h : measured)
            predicted.push_back(EqualisedImpulse(h, *eq, gain));
        a.sets[static_cast<size_t>(DecaySet::Predicted)] = Analyse(std::move(predicted));
    }
    a.sets[static_cast<size_t>(DecaySet::Measured)] = Analyse(std::move(measured));
    if (data.verified && !data.verifiedImpulses.empty())
        a.sets[static_cast<size_t>(DecaySet::Verified)] = Analyse(Signals(data.verifiedImpulses));
    if (const std::optional<SectionArrays> eq = Equaliser(data)) {
        a.equaliserFrequencies = a.Set(DecaySet::Measured)->meanGroupDelay.frequencies;
        a.equaliserDelay = EqualiserGroupDelay(*eq, kRate, a.equaliserFrequencies);
    }
    return a;
}

std::vector<DecayRow> DecayTable(const DecayAnalysis& analysis, int position) {
    std::vector<DecayRow> rows;
    for (size_t s = 0; s < kDecaySetCount; ++s) {
        const auto& set = analysis.sets[s];
        if (!Has(set, position))
            continue;
        const auto& bands =
            position < 0 ? set->meanBands : set->bands[static_cast<size_t>(position)];
        if (rows.empty())
            for (const Decay::BandDecay& b : bands)
                rows.push_back({b.nominalHz, {}});
        for (size_t b = 0; b < bands.size() && b < rows.size(); ++b)
            rows[b].figures[s] = bands[b];
    }
    return rows;
}

std::wstring DecayFigureText(const std::optional<Decay::BandDecay>& figure) {
    if (!figure)
        return L"-";
    switch (figure->status) {
        case Decay::DecayStatus::Measured:
            return std::to_wstring(std::lround(figure->seconds * 1000.0));
        case Decay::DecayStatus::NoisyBand:
            return L"noise";
        case Decay::DecayStatus::NoDecay:
            break;
    }
    return L"no decay";
}

std::wstring DecayTableNote() {
    return L"noise: the band's noise floor leaves less than " +
           std::to_wstring(std::lround(Decay::kMinDynamicRangeDb)) + L" dB of range; -: no data.";
}

DecayPlot MakeDecayPlot(const DecayAnalysis& analysis, DecayView view, int position,
                        const std::array<bool, kDecaySetCount>& sets) {
    DecayPlot plot;
    const std::wstring where =
        position < 0 ? L"average" : L"position " + std::to_wstring(position + 1);
    const auto& measured = analysis.Set(DecaySet::Measured);
    auto shown = [&](size_t s) { return sets[s] && Has(analysis.sets[s], position); };

    switch (view) {
        case DecayView::Impulse: {
            plot.title = L"Impulse (energy-time), " + where;
            double reference = 0.0;
            if (Has(measured, position)) {
                const Signal& e = Pick(measured->energy, measured->meanEnergy, position);
                reference = e.empty() ? 0.0 : *std::max_element(e.begin(), e.end());
            }
            for (size_t s = 0; s < kDecaySetCount; ++s) {
                if (!shown(s))
                    continue;
                const auto& set = *analysis.sets[s];
                const Signal db =
                    Decay::EnergyTimeDb(Pick(set.energy, set.meanEnergy, position), reference);
                plot.curves.push_back(TimeCurve(db, kEnergyViewSeconds, 1.0,
                                                SetPen(analysis, SetAt(s)),
                                                DecaySetLabel(SetAt(s))));
            }
            break;
        }
        case DecayView::Step: {
            plot.title = L"Step response, " + where;
            plot.yMode = Graphing::YMode::Linear;
            double largest = 0.0;
            if (Has(measured, position))
                for (double v : Pick(measured->steps, measured->meanStep, position))
                    largest = std::max(largest, std::abs(v));
            const double scale = largest > 0.0 ? 1.0 / largest : 1.0;
            for (size_t s = 0; s < kDecaySetCount; ++s) {
                if (!shown(s))
                    continue;
                const auto& set = *analysis.sets[s];
                plot.curves.push_back(TimeCurve(Pick(set.steps, set.meanStep, position),
                                                kStepViewSeconds, scale, SetPen(analysis, SetAt(s)),
                                                DecaySetLabel(SetAt(s))));
            }
            break;
        }
        case DecayView::GroupDelay: {
            plot.title = L"Group delay (ms), " + where;
            plot.domain = Graphing::Domain::Frequency;
            plot.xScale = Graphing::XScale::Log;
            plot.yMode = Graphing::YMode::Linear;
            for (size_t s = 0; s < kDecaySetCount; ++s) {
                if (!shown(s))
                    continue;
                const auto& set = *analysis.sets[s];
                const Decay::Spectrum& d = position < 0
                                               ? set.meanGroupDelay
                                               : set.groupDelay[static_cast<size_t>(position)];
                PlotCurve c;
                c.curve.x = d.frequencies;
                for (double v : d.values)
                    c.curve.y.push_back(v * 1000.0);
                c.curve.pen = SetPen(analysis, SetAt(s));
                c.label = DecaySetLabel(SetAt(s));
                plot.curves.push_back(std::move(c));
            }
            if (sets[static_cast<size_t>(DecaySet::Predicted)] &&
                !analysis.equaliserDelay.empty()) {
                PlotCurve c;
                c.curve.x = analysis.equaliserFrequencies;
                for (double v : analysis.equaliserDelay)
                    c.curve.y.push_back(v * 1000.0);
                c.curve.pen = {analysis.colours[2], 1, Graphing::PenStyle::Dot};
                c.label = L"Equaliser";
                plot.curves.push_back(std::move(c));
            }
            break;
        }
        case DecayView::Waterfall: {
            plot.domain = Graphing::Domain::Frequency;
            plot.xScale = Graphing::XScale::Log;
            size_t s = 0;
            while (s < kDecaySetCount && !shown(s))
                ++s;
            if (s == kDecaySetCount)
                break;
            const auto& set = *analysis.sets[s];
            const Decay::Waterfall& w =
                position < 0 ? set.meanWaterfall : set.waterfalls[static_cast<size_t>(position)];
            plot.title = std::wstring(L"Waterfall, ") + DecaySetLabel(SetAt(s)) + L", " + where +
                         L" (window " + std::to_wstring(std::lround(w.windowSeconds * 1000.0)) +
                         L" ms)";
            const size_t count = w.starts.size();
            // Back to front: the latest start first, so that earlier slices are drawn over it.
            for (size_t k = count; k-- > 0;) {
                PlotCurve c;
                c.curve.x = w.frequencies;
                c.curve.y = Decay::SliceDb(w, k);
                const double t = count > 1 ? static_cast<double>(k) / (count - 1) : 0.0;
                c.curve.pen = {Ramp(t), k == 0 ? 2 : 1, Graphing::PenStyle::Solid};
                const long ms = std::lround(w.starts[k] * 1000.0);
                if (ms % 100 == 0)
                    c.label = std::to_wstring(ms) + L" ms";
                plot.curves.push_back(std::move(c));
            }
            break;
        }
    }
    return plot;
}

}  // namespace Exporting
