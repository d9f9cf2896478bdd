#include "measure/CorrectionManager.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

#include "measure/CalibrationTables.h"
#include "measure/Secure.h"
#include "measure/SecurityTexts.h"
#include "threading/Errors.h"

namespace {

// Sensitivity offsets of the three calibration file versions, dB.
constexpr double kVersion1OffsetDb = -7.52;
constexpr double kVersion2OffsetDb = 29.13;
constexpr double kVersion3OffsetDb = -22.3;

double OffsetDb(int32_t version) {
    return version == 1 ? kVersion1OffsetDb : version == 2 ? kVersion2OffsetDb : kVersion3OffsetDb;
}

// A text calibration's lines are filled in to this many points per octave before smoothing
// (within kFillLowHz to kFillHighHz), so a file of a few lines smooths like a dense one.
constexpr double kFillPointsPerOctave = 25.0;
constexpr double kFillLowHz = 1.0;
constexpr double kFillHighHz = 48000.0;

// Level and phase of a DbPhase curve at f: straight lines over log frequency between its points,
// its end values held beyond them. j is where the search starts and ends (x[j] <= f < x[j + 1]).
ValuePair HeldLogInterpolation(const CCurve& c, double f, int& j) {
    const int n = c.Count();
    if (n == 0)
        return {0.0, 0.0};
    const double* x = c.X();
    const double* level = c.First();
    const double* phase = c.Second();
    if (!(f > x[0]))
        return {level[0], phase[0]};
    if (!(f < x[n - 1]))
        return {level[n - 1], phase[n - 1]};
    if (j < 0 || j >= n - 1 || x[j] > f)
        j = 0;
    while (x[j + 1] <= f)
        ++j;
    const double t = std::log(f / x[j]) / std::log(x[j + 1] / x[j]);
    return {level[j] + t * (level[j + 1] - level[j]), phase[j] + t * (phase[j + 1] - phase[j])};
}

// The calibration with points added in every gap wider than one fill step.
CurvePtr Filled(const CCurve& calibration) {
    CCurve c = calibration;
    ToDbPhase(c);
    const int n = c.Count();
    std::vector<double> x, level, phase;
    for (int i = 0; i < n; ++i) {
        x.push_back(c.X()[i]);
        level.push_back(c.First()[i]);
        phase.push_back(c.Second()[i]);
        if (i + 1 == n || std::log2(c.X()[i + 1] / c.X()[i]) <= 1.0 / kFillPointsPerOctave)
            continue;
        const double high = std::min(c.X()[i + 1], kFillHighHz);
        int j = i;
        double k = std::floor(kFillPointsPerOctave * std::log2(std::max(c.X()[i], kFillLowHz)));
        for (;; ++k) {
            const double g = std::exp2(k / kFillPointsPerOctave);
            if (!(g < high))
                break;
            if (!(g > c.X()[i]))
                continue;
            const auto [l, p] = HeldLogInterpolation(c, g, j);
            x.push_back(g);
            level.push_back(l);
            phase.push_back(p);
        }
    }
    auto filled = std::make_shared<CCurve>(static_cast<int>(x.size()), AxisKind::Frequency,
                                           DataFormat::DbPhase);
    std::copy(x.begin(), x.end(), filled->X());
    std::copy(level.begin(), level.end(), filled->First());
    std::copy(phase.begin(), phase.end(), filled->Second());
    return filled;
}

// Divides the response by a text calibration's correction resampled onto the response's axis,
// which the response keeps.
void ApplyTextCorrection(const CCurve& correction, CCurve& response) {
    CCurve k = correction;
    ToDbPhase(k);
    for (int i = 1; i < k.Count(); ++i)
        k.Second()[i] = k.Second()[i - 1] +
                        std::remainder(k.Second()[i] - k.Second()[i - 1], 2.0 * std::numbers::pi);
    const int n = response.Count();
    CCurve onAxis(n, AxisKind::Frequency, DataFormat::DbPhase);
    int j = 0;
    for (int i = 0; i < n; ++i) {
        onAxis.X()[i] = response.X()[i];
        std::tie(onAxis.First()[i], onAxis.Second()[i]) =
            HeldLogInterpolation(k, response.X()[i], j);
    }
    Divide(response, onAxis);
}

}  // namespace

CorrectionManagerPtr MakeCorrection(const CCurve& calibration, int32_t version) {
    if (version < 1 || version > 3)
        return nullptr;
    CurvePtr raw = Clone(calibration);
    CurvePtr correction = Clone(calibration);
    Scale(*correction, std::pow(10.0, OffsetDb(version) / 20.0), 0.0);
    if (CurvePtr table = CalibrationTableCurve(version)) {
        Multiply(*table, *correction);
        CopyInto(*table, *correction);
    }
    Smooth(*correction, 3.0, 25.0, 5.0, 24000.0, 1);
    return std::make_shared<CCurveCorrectionManager>(version, std::move(raw),
                                                     std::move(correction));
}

CorrectionManagerPtr MakeTextCorrection(const CCurve& calibration) {
    if (calibration.Count() < 2)
        return nullptr;
    CurvePtr raw = Clone(calibration);
    CurvePtr correction = Filled(calibration);
    Smooth(*correction, 3.0, 25.0, 5.0, 24000.0, 1);
    return std::make_shared<CCurveCorrectionManager>(kTextCalibrationMode, std::move(raw),
                                                     std::move(correction));
}

void ApplyCorrection(const CCurveCorrectionManager& manager, CCurve& response) {
    const CCurveCorrectionManager::ConstCurve& correction = manager.Correction();
    if (!correction)
        return;
    if (manager.Mode() == kTextCalibrationMode) {
        ApplyTextCorrection(*correction, response);
        return;
    }
    // ResampleTo wants shared ownership; the response itself stays with the caller.
    const CurvePtr borrowed(&response, [](CCurve*) {});
    CurvePtr resampled = ResampleTo(borrowed, *correction);
    Divide(*resampled, *correction);
    if (resampled.get() != &response)
        CopyInto(*resampled, response);
}

namespace AudioSampler {

std::shared_ptr<CorrectionParam> LoadCorrectionFile(const std::filesystem::path& path,
                                                    int32_t unitSerial,
                                                    std::shared_ptr<const CCurve> reference) {
    const Security::CalibrationFile file = Security::ReadCalibrationFile(path, unitSerial);
    CorrectionManagerPtr manager = MakeCorrection(*file.curve, file.version);
    if (!manager)
        throw tsl::wruntime_error(Security::kInvalidVersionText);
    return std::make_shared<CorManCorrection>(std::move(reference), std::move(manager));
}

}  // namespace AudioSampler
