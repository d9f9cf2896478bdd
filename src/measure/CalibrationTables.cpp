#include "measure/CalibrationTables.h"

#include <array>
#include <cmath>

namespace {

constexpr double kStartHz = 10.0;
constexpr double kRowsPerOctave = 25.0;

struct Column {
    std::array<double, 3> firstRows;  // data-sheet values at 10 Hz and the next two rows
    double midBand;                   // value the column settles to above the low end
};

struct Family {
    Column level;
    Column phase;
};

// Each column is its mid-band value plus a bell in log-frequency, the shape the level (and
// phase) of a broad low-frequency capsule resonance takes: y = mid + s * exp(quadratic in
// octaves), the quadratic passing through the logs of the first three rows' deviations.
constexpr Family kFamilyV1{{{-9.062513, -8.94851, -8.830169}, 0.0},
                           {{116.984254, 117.076965, 117.13423}, 0.0}};
constexpr Family kFamilyV2{{{0.537129, 0.575238, 0.619379}, 1.0},
                           {{23.917042, 24.553331, 25.201187}, 0.0}};

class Bell {
public:
    explicit Bell(const Column& c) : mid_(c.midBand) {
        sign_ = c.firstRows[0] < mid_ ? -1.0 : 1.0;
        const double h = 1.0 / kRowsPerOctave;
        const double l0 = std::log(std::fabs(c.firstRows[0] - mid_));
        const double l1 = std::log(std::fabs(c.firstRows[1] - mid_));
        const double l2 = std::log(std::fabs(c.firstRows[2] - mid_));
        // Newton form of the quadratic through (0, l0), (h, l1), (2h, l2).
        a0_ = l0;
        a1_ = (l1 - l0) / h;
        a2_ = (l2 - 2.0 * l1 + l0) / (2.0 * h * h);
        h_ = h;
    }
    double operator()(double octaves) const {
        const double q = a0_ + octaves * (a1_ + (octaves - h_) * a2_);
        return mid_ + sign_ * std::exp(q);
    }

private:
    double mid_, sign_ = 1.0, a0_, a1_, a2_, h_;
};

}  // namespace

CurvePtr CalibrationTableCurve(int version) {
    const Family* family = version == 1 ? &kFamilyV1 : version == 2 ? &kFamilyV2 : nullptr;
    if (!family)
        return nullptr;
    const Bell level(family->level);
    const Bell phase(family->phase);
    auto curve =
        std::make_shared<CCurve>(kCalibrationTableRows, AxisKind::Frequency, DataFormat::DbPhase);
    for (int k = 0; k < kCalibrationTableRows; ++k) {
        const double octaves = k / kRowsPerOctave;
        curve->X()[k] = kStartHz * std::exp2(octaves);
        curve->First()[k] = level(octaves);
        curve->Second()[k] = phase(octaves);
    }
    return curve;
}
