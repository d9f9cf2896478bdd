#include "correction/HouseCurve.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "correction/FitState.h"
#include "measure/TextCalibration.h"

static_assert(kMaxHouseCurvePoints == Security::kMaxTextCalibrationPoints);
static_assert(kMaxHouseCurveDb == Security::kMaxTextCalibrationDb);

namespace {

// The rate the target's sections are designed at.
constexpr double kTargetRate = 48000.0;
constexpr double kShelfQ = 1.0 / std::numbers::sqrt2;

bool Within(double v, double lo, double hi) {
    return v >= lo && v <= hi;
}

bool ValidFile(const HouseCurveFile& file) {
    const auto& p = file.points;
    if (p.size() < 2 || p.size() > kMaxHouseCurvePoints)
        return false;
    for (size_t i = 0; i < p.size(); ++i) {
        if (!(p[i].frequencyHz > 0.0) || !std::isfinite(p[i].frequencyHz) ||
            !(std::abs(p[i].levelDb) <= kMaxHouseCurveDb))
            return false;
        if (i > 0 && !(p[i].frequencyHz > p[i - 1].frequencyHz))
            return false;
    }
    return true;
}

// The low shelf of the common bilinear form: b0, b1, b2, a1, a2 over a0.
struct Shelf {
    double b0, b1, b2, a1, a2;

    Shelf(double gainDb, double cornerHz) {
        const double a = std::pow(10.0, gainDb / 40.0);
        const double w = 2.0 * std::numbers::pi * cornerHz / kTargetRate;
        const double cw = std::cos(w);
        const double s = 2.0 * std::sqrt(a) * std::sin(w) / (2.0 * kShelfQ);
        const double p = a + 1.0, m = a - 1.0;
        const double a0 = p + m * cw + s;
        b0 = a * (p - m * cw + s) / a0;
        b1 = 2.0 * a * (m - p * cw) / a0;
        b2 = a * (p - m * cw - s) / a0;
        a1 = -2.0 * (m + p * cw) / a0;
        a2 = (p + m * cw - s) / a0;
    }

    double Magnitude(double f) const {
        const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * f / kTargetRate);
        return std::abs((b0 + z1 * (b1 + z1 * b2)) / (1.0 + z1 * (a1 + z1 * a2)));
    }
};

// The file's level at f: straight lines over log frequency, its end values held outside.
double FileDb(const std::vector<HouseCurvePoint>& p, double f) {
    if (!(f > p.front().frequencyHz))
        return p.front().levelDb;
    if (!(f < p.back().frequencyHz))
        return p.back().levelDb;
    const auto above = std::upper_bound(
        p.begin(), p.end(), f,
        [](double x, const HouseCurvePoint& point) { return x < point.frequencyHz; });
    const HouseCurvePoint& hi = *above;
    const HouseCurvePoint& lo = *(above - 1);
    const double t = std::log(f / lo.frequencyHz) / std::log(hi.frequencyHz / lo.frequencyHz);
    return lo.levelDb + t * (hi.levelDb - lo.levelDb);
}

double GainDbAt(const HouseSettings& s, const Shelf& shelf, double crossoverHz, double f) {
    double db = 0.0;
    if (s.shelfDb != 0.0)
        db += 20.0 * std::log10(shelf.Magnitude(f));
    if (s.tiltDbPerOctave != 0.0)
        db += s.tiltDbPerOctave * std::log2(std::max(f, kTiltLowestHz) / crossoverHz);
    if (s.file)
        db += FileDb(s.file->points, f);
    return db;
}

// The points of a parsed table; a sensitivity line means nothing for a house curve (taking it
// off again may step past the level bound by a rounding, hence the clamp).
HouseCurveFile FromTable(const Security::TextCalibration& table, const std::wstring& name) {
    HouseCurveFile file;
    file.name = name;
    const CCurve& c = *table.curve;
    file.points.reserve(static_cast<size_t>(c.Count()));
    for (int i = 0; i < c.Count(); ++i)
        file.points.push_back({c.X()[i], std::clamp(c.First()[i] - table.sensitivityDb,
                                                    -kMaxHouseCurveDb, kMaxHouseCurveDb)});
    return file;
}

}  // namespace

bool IsValidHouseSettings(const HouseSettings& s) {
    return Within(s.shelfDb, kShelfDbMin, kShelfDbMax) &&
           Within(s.shelfHz, kShelfHzMin, kShelfHzMax) &&
           Within(s.tiltDbPerOctave, kTiltMin, kTiltMax) &&
           Within(s.maxBoostDb, kMaxBoostDbMin, kMaxBoostDbMax) &&
           (s.upperHz == 0.0 || Within(s.upperHz, kUpperHzMin, kUpperHzMax)) &&
           (!s.file || ValidFile(*s.file));
}

double HouseGainDb(const HouseSettings& s, double crossoverHz, double f) {
    return GainDbAt(s, Shelf(s.shelfDb, s.shelfHz), crossoverHz, f);
}

void ApplyHouseCurve(CCurve& target, const HouseSettings& s, double crossoverHz) {
    if (!s.ShapesTarget())
        return;
    ToMagPhase(target);
    const Shelf shelf(s.shelfDb, s.shelfHz);
    const int n = target.Count();
    const double* x = target.X();
    double* m = target.First();
    for (int i = 0; i < n; ++i)
        m[i] *= std::pow(10.0, GainDbAt(s, shelf, crossoverHz, x[i]) / 20.0);
}

double BoostLimit(const HouseSettings& s) {
    if (s.maxBoostDb >= kMaxBoostDbMax)
        return kSeedBoostLimit;
    return std::pow(10.0, std::max(s.maxBoostDb, 0.0) / 20.0);
}

double LimitedFitUpper(const HouseSettings& s, double upper) {
    return s.upperHz > 0.0 ? std::min(upper, s.upperHz) : upper;
}

HouseCurveFile ParseHouseCurve(std::string_view text, const std::wstring& name) {
    return FromTable(Security::ParseTextCalibration(text, name, kHouseCurveFileKind), name);
}

HouseCurveFile ReadHouseCurve(const std::filesystem::path& path) {
    return FromTable(Security::ReadTextCalibration(path, kHouseCurveFileKind),
                     path.filename().wstring());
}
