// The curve record, representation changes, axis searches, interpolation and resampling.

#include "measure/Curve.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "measure/CurveDetail.h"
#include "measure/ParallelLoops.h"

namespace {

const CRuntimeClass kCurveClass{"CCurve", 2};

constexpr double kTwoPi = 2.0 * std::numbers::pi;

[[noreturn]] void ThrowMalformed() {
    throw CArchiveException(CArchiveException::generic, L"The file is damaged or incomplete.");
}

inline double DbToMagnitude(double db) {
    return std::pow(10.0, db / 20.0);
}

inline double MagnitudeToDb(double m) {
    return m > 0.0 ? 20.0 * std::log10(m) : kZeroLevelDb;
}

// (magnitude, phase) of one stored point; Cartesian values are converted, zero has phase 0.
inline ValuePair PolarOf(DataFormat format, double first, double second) {
    if (format != DataFormat::Cartesian) {
        return {first, second};
    }
    const double m = std::hypot(first, second);
    return {m, m == 0.0 ? 0.0 : std::atan2(second, first)};
}

// fmod(phase, 2pi) without the call for a phase within one turn of 0, where fmod is exact and
// gives the phase itself.
inline double RemainderTurn(double phase) {
    return std::fabs(phase) < kTwoPi ? phase : std::fmod(phase, kTwoPi);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CCurve

CCurve::CCurve(int n, AxisKind kind, DataFormat format) {
    axis.kind = kind;
    data.format = format;
    axis.values.Resize(n);
    data.first.Resize(n);
    data.second.Resize(n);
}

const CRuntimeClass& CCurve::GetRuntimeClass() const {
    return kCurveClass;
}

void CCurve::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        Store(ar);
    } else {
        Load(ar);
    }
}

void CCurve::Store(CArchive& ar) const {
    axis.Store(ar);
    data.Store(ar);
    ar.WriteU16(0);
    ar.WriteU32(0);
    ar.WriteString(name);
}

void CCurve::Load(CArchive& ar, std::uint64_t maxNameLength) {
    axis.Load(ar);
    data.Load(ar);
    if (axis.Count() != data.Count()) {
        ThrowMalformed();
    }
    ar.ReadU16();
    ar.ReadU32();
    name = ar.ReadString(maxNameLength);
}

// ---------------------------------------------------------------------------------------------
// Representation changes

void ToCartesian(CCurve& curve) {
    const DataFormat from = curve.Format();
    if (from == DataFormat::Cartesian) {
        return;
    }
    const int n = curve.Count();
    double* a = curve.First();
    double* b = curve.Second();
    const bool db = from == DataFormat::DbPhase;
#pragma omp parallel for schedule(static) if (n >= parallel::kMinTranscendental)
    for (int i = 0; i < n; ++i) {
        const double m = db ? DbToMagnitude(a[i]) : a[i];
        const double phi = b[i];
        a[i] = m * std::cos(phi);
        b[i] = m * std::sin(phi);
    }
    curve.data.format = DataFormat::Cartesian;
}

void ToMagPhase(CCurve& curve) {
    const DataFormat from = curve.Format();
    if (from == DataFormat::MagPhase) {
        return;
    }
    const int n = curve.Count();
    double* a = curve.First();
    double* b = curve.Second();
    if (from == DataFormat::DbPhase) {
#pragma omp parallel for schedule(static) if (n >= parallel::kMinTranscendental)
        for (int i = 0; i < n; ++i) {
            a[i] = DbToMagnitude(a[i]);
        }
    } else {
#pragma omp parallel for schedule(static) if (n >= parallel::kMinTranscendental)
        for (int i = 0; i < n; ++i) {
            const ValuePair p = PolarOf(DataFormat::Cartesian, a[i], b[i]);
            a[i] = p.first;
            b[i] = p.second;
        }
    }
    curve.data.format = DataFormat::MagPhase;
}

void ToDbPhase(CCurve& curve) {
    if (curve.Format() == DataFormat::DbPhase) {
        return;
    }
    ToMagPhase(curve);
    const int n = curve.Count();
    double* a = curve.First();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinTranscendental)
    for (int i = 0; i < n; ++i) {
        a[i] = MagnitudeToDb(a[i]);
    }
    curve.data.format = DataFormat::DbPhase;
}

void WrapPhasePositive(CCurve& curve) {
    ToMagPhase(curve);
    const int n = curve.Count();
    double* phi = curve.Second();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinTranscendental)
    for (int i = 0; i < n; ++i) {
        double p = RemainderTurn(phi[i]);
        if (p < 0.0) {
            p += kTwoPi;
        }
        // A tiny negative remainder rounds up to exactly 2pi.
        phi[i] = p >= kTwoPi ? 0.0 : p;
    }
}

void WrapPhase(CCurve& curve) {
    ToMagPhase(curve);
    const int n = curve.Count();
    double* phi = curve.Second();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinTranscendental)
    for (int i = 0; i < n; ++i) {
        double p = RemainderTurn(phi[i]);
        if (p > std::numbers::pi) {
            p -= kTwoPi;
        } else if (p <= -std::numbers::pi) {
            p += kTwoPi;
        }
        phi[i] = p;
    }
}

void UnwrapPhase(CCurve& curve) {
    WrapPhase(curve);
    const int n = curve.Count();
    if (n < 2) {
        return;
    }
    double* phi = curve.Second();
    const double* x = curve.X();

    const double d0 = phi[1] - phi[0];
    double e = d0 > std::numbers::pi ? kTwoPi : (d0 < -std::numbers::pi ? -kTwoPi : 0.0);
    for (int i = 1; i < n - 1; ++i) {
        phi[i] -= e;
        const double h = 2.0 * phi[i] - phi[i - 1] - (phi[i + 1] - e);
        if (h > std::numbers::pi) {
            e -= kTwoPi;
        }
        if (h < -std::numbers::pi) {
            e += kTwoPi;
        }
    }
    phi[n - 1] -= e;

    // Whole turns towards a constant-delay phase, skipping steps an uneven axis makes undefined.
    auto turns = [](double predicted, double actual) {
        const double t = std::floor((predicted - actual) / kTwoPi + 0.5);
        return std::isfinite(t) ? kTwoPi * t : 0.0;
    };
    int k = 3;
    if (x[0] != 0.0) {
        k = 2;
        if (x[1] != x[0]) {
            const double s = (phi[1] - phi[0]) / (x[1] - x[0]);
            const double c0 = turns(s * x[0], phi[0]);
            const double c1 = turns(s * x[1], phi[1]);
            phi[0] += c0;
            phi[1] += c1;
        }
    }
    for (; k < n; ++k) {
        if (x[k - 1] != 0.0) {
            phi[k] += turns(phi[k - 1] * x[k] / x[k - 1], phi[k]);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Axis searches

int UpperIndex(const CIndexVector& axis, double x) {
    const int n = axis.Count();
    const double* a = axis.values.Data();
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        if (a[i] > x)
            return i;
        if (a[i + 1] > x)
            return i + 1;
        if (a[i + 2] > x)
            return i + 2;
        if (a[i + 3] > x)
            return i + 3;
    }
    for (; i < n; ++i) {
        if (a[i] > x)
            return i;
    }
    return n > 0 ? n - 1 : 0;
}

int FloorIndex(const CIndexVector& axis, double x) {
    const int n = axis.Count();
    if (n == 0) {
        return 0;
    }
    const double* a = axis.values.Data();
    if (x < a[0]) {
        return 0;
    }
    if (x >= a[n - 1]) {
        return n - 1;
    }
    int i = 0;
    while (i + 1 < n && a[i + 1] <= x) {
        ++i;
    }
    return i;
}

// ---------------------------------------------------------------------------------------------
// Interpolation and resampling

ValuePair ValueAt(const CCurve& curve, double x, int start) {
    const int n = curve.Count();
    if (n == 0) {
        return {0.0, 0.0};
    }
    const DataFormat format = curve.Format();
    const double* a = curve.X();
    const double* f = curve.First();
    const double* s = curve.Second();
    if (n == 1) {
        return {f[0], s[0]};
    }
    int i = start < 0 ? 0 : (start > n - 1 ? n - 1 : start);
    while (x > a[i] && i < n - 1) {
        ++i;
    }
    int r = i < 1 ? 1 : i;
    if (a[r - 1] == 0.0 && r < n - 1) {
        ++r;  // a zero-frequency point is never the left neighbour
    }
    const int l = r - 1;
    const double al = a[l];
    const double ar = a[r];
    const auto [m0, p0] = PolarOf(format, f[l], s[l]);
    const auto [m1, p1] = PolarOf(format, f[r], s[r]);

    double m = m1;
    if (x != 0.0 && x / ar > 0.0 && ar / al > 0.0 && ar != al) {
        m = m1 + (m1 - m0) * std::log(x / ar) / std::log(ar / al);
    } else if (ar != al) {
        m = m1 + (m1 - m0) * (x - ar) / (ar - al);
    }
    if (format != DataFormat::DbPhase && !(m > kMinMagnitude)) {
        m = kMinMagnitude;
    }
    if (i == 0) {
        // At or below the first point: a level holds the end value; a magnitude may fall
        // towards zero but never rises above the end value.
        m = format == DataFormat::DbPhase ? m0 : std::min(m, m0);
    }
    double phi;
    if (i > 0) {
        phi = ar != al ? p1 + (x - ar) * (p1 - p0) / (ar - al) : p1;
    } else {
        phi = al != 0.0 ? x * p0 / al : p0;
    }
    if (format == DataFormat::Cartesian) {
        return {m * std::cos(phi), m * std::sin(phi)};
    }
    return {m, phi};
}

namespace curve_detail {

std::shared_ptr<CCurve> Resample(const CCurve& original, const CCurve& target) {
    const int nt = target.Count();
    if (original.Count() == nt &&
        (nt == 0 || std::memcmp(original.X(), target.X(), sizeof(double) * nt) == 0)) {
        return nullptr;
    }
    CCurve source(original);
    ToMagPhase(source);
    UnwrapPhase(source);
    auto out = std::make_shared<CCurve>(nt, AxisKind::Frequency, DataFormat::MagPhase);
    if (nt > 0) {
        std::memcpy(out->X(), target.X(), sizeof(double) * nt);
    }
    const int ns = source.Count();
    const double* sa = source.X();
    const double* t = out->X();
    double* m = out->First();
    double* phi = out->Second();
    int j = 0;
    for (int k = 0; k < nt; ++k) {
        if (ns == 0) {
            m[k] = phi[k] = 0.0;
            continue;
        }
        while (j < ns - 1 && t[k] > sa[j]) {
            ++j;
        }
        if (t[k] == sa[j]) {
            m[k] = source.First()[j];
            phi[k] = source.Second()[j];
        } else {
            std::tie(m[k], phi[k]) = ValueAt(source, t[k], j);
        }
    }
    return out;
}

const CCurve& InFormat(const CCurve& curve, DataFormat format, std::shared_ptr<CCurve>& hold) {
    if (curve.Format() == format) {
        return curve;
    }
    hold = std::make_shared<CCurve>(curve);
    switch (format) {
        case DataFormat::Cartesian:
            ToCartesian(*hold);
            break;
        case DataFormat::MagPhase:
            ToMagPhase(*hold);
            break;
        case DataFormat::DbPhase:
            ToDbPhase(*hold);
            break;
    }
    return *hold;
}

const CCurve& MagPhaseOn(const CCurve& b, const CCurve& target, std::shared_ptr<CCurve>& hold) {
    hold = Resample(b, target);
    if (hold) {
        return *hold;
    }
    return InFormat(b, DataFormat::MagPhase, hold);
}

}  // namespace curve_detail

CurvePtr ResampleTo(const CurvePtr& source, const CCurve& target) {
    if (!source) {
        return source;
    }
    auto out = curve_detail::Resample(*source, target);
    return out ? out : source;
}

// ---------------------------------------------------------------------------------------------
// Construction and copying

CurvePtr FromSamples(const double* samples, int n, double sampleRate) {
    if (samples == nullptr || n < 0) {
        n = 0;
    }
    auto c = curve_detail::UnfilledCurve(n, AxisKind::Time, DataFormat::Cartesian);
    double* t = c->X();
    double* re = c->First();
    double* im = c->Second();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinArithmetic)
    for (int i = 0; i < n; ++i) {
        t[i] = i / sampleRate;
        re[i] = samples[i];
        im[i] = 0.0;
    }
    return c;
}

CurvePtr Clone(const CCurve& curve) {
    return std::make_shared<CCurve>(curve);
}

void CopyInto(const CCurve& source, CCurve& destination) {
    if (&source == &destination) {
        return;
    }
    destination.axis.kind = source.axis.kind;
    destination.data.format = source.data.format;
    destination.axis.values = source.axis.values;
    destination.data.first = source.data.first;
    destination.data.second = source.data.second;
}

void Resize(CCurve& curve, int n) {
    curve.axis.values.Resize(n);
    curve.data.first.Resize(n);
    curve.data.second.Resize(n);
}

double RemoveMean(double* values, int n) {
    if (values == nullptr || n < 1) {
        return 0.0;
    }
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        sum += values[i];
    }
    const double mean = sum / n;
#pragma omp parallel for schedule(static) if (n >= parallel::kMinArithmetic)
    for (int i = 0; i < n; ++i) {
        values[i] -= mean;
    }
    return mean;
}
