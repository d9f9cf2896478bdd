#pragma once
// Curves and their operations. This API is stable: other subsystems code against it, so change
// signatures only together with their callers.
//
// A curve is an axis (Hz or seconds) and per axis point a complex value in one of three
// representations. The representation changes, Scale, the magnitude operations, LimitBoost,
// Smooth and the first argument of the arithmetic work in place; every other argument is read as
// it is (an operation that needs another representation converts a copy), so curves shared
// between threads can be read by several at once. New curves are handed out as
// std::shared_ptr<CCurve>; ResampleTo and ToUniformGrid may hand back their own argument.
// Every operation accepts curves of 0, 1 or 2 points and axes that are not ascending.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "measure/Archive.h"
#include "measure/Checksum.h"
#include "measure/Transform.h"
#include "measure/Vectors.h"

class CCurve : public CSerializable {
public:
    CIndexVector axis;
    CComplexVector data;
    double spare = 0.0;  // copied by Clone, not archived
    std::wstring name;   // label for diagnostic output

    CCurve() = default;
    // n points of all three vectors (zero-filled).
    CCurve(int n, AxisKind kind, DataFormat format);

    int Count() const noexcept { return axis.Count(); }
    AxisKind Kind() const noexcept { return axis.kind; }
    DataFormat Format() const noexcept { return data.format; }
    double* X() noexcept { return axis.values.Data(); }
    const double* X() const noexcept { return axis.values.Data(); }
    double* First() noexcept { return data.first.Data(); }
    const double* First() const noexcept { return data.first.Data(); }
    double* Second() noexcept { return data.second.Data(); }
    const double* Second() const noexcept { return data.second.Data(); }

    const CRuntimeClass& GetRuntimeClass() const override;
    void Serialize(CArchive& ar) override;
    void Store(CArchive& ar) const;
    // Raises CArchiveException on short data, when the axis and data counts differ or when the
    // name is longer than maxNameLength.
    void Load(CArchive& ar, std::uint64_t maxNameLength = UINT64_MAX);
};

using CurvePtr = std::shared_ptr<CCurve>;
// (first, second) of one point in the curve's own representation.
using ValuePair = std::pair<double, double>;

// Levels and magnitude limits shared by every curve operation.
inline constexpr double kMinMagnitude = 1e-40;
inline constexpr double kMaxMagnitude = 1e40;
inline constexpr double kZeroLevelDb = -800.0;

// Representation changes (in place).
void ToCartesian(CCurve& curve);
void ToMagPhase(CCurve& curve);
void ToDbPhase(CCurve& curve);
void WrapPhasePositive(CCurve& curve);  // phase in [0, 2pi)
void WrapPhase(CCurve& curve);          // phase in (-pi, pi]
void UnwrapPhase(CCurve& curve);

// Reading without converting: the magnitude, level and phase of point i whatever the curve's
// representation (level: kZeroLevelDb below kMinMagnitude). For code that only reads, such as
// painting, while the curve stays as it is.
double MagnitudeAt(const CCurve& curve, int i);
double LevelDbAt(const CCurve& curve, int i);
double PhaseAt(const CCurve& curve, int i);

// Axis searches. Both return 0 for an empty axis.
int UpperIndex(const CIndexVector& axis, double x);
int FloorIndex(const CIndexVector& axis, double x);

// Interpolated value at x, searching forward from start. (0, 0) for an empty curve. Below the
// first point a level (DbPhase) holds the first point's value and a magnitude never exceeds it.
ValuePair ValueAt(const CCurve& curve, double x, int start = 0);

// The source's values at every axis point of target; the source itself when both axes are equal.
// Otherwise a new curve in magnitude/phase, interpolated from the source's unwrapped phase.
CurvePtr ResampleTo(const CurvePtr& source, const CCurve& target);

// Curve arithmetic: a, acc and curve change (a and acc to magnitude/phase); b and x are read,
// resampled onto a's axis where it differs.
void Multiply(CCurve& a, const CCurve& b);
void Divide(CCurve& a, const CCurve& b);
void AccumulatePower(CCurve& acc, const CCurve& x);
void Scale(CCurve& curve, double re, double im);
void SqrtMagnitude(CCurve& curve);
void SquareMagnitude(CCurve& curve);
void LimitBoost(CCurve& curve, double limit);

// Band measures.
ValuePair BandMax(const CCurve& curve, double lo, double hi);      // (0, 0) for an empty curve
double BandRms(const CCurve& curve, double lo, double hi);         // 0 when no point is in the band
int PeakIndex(const CCurve& curve, double lo, double hi);          // -1 when the band is invalid
double UpperEdge(const CCurve& curve, double from, double level);  // 0 for an empty curve
double LowerEdge(const CCurve& curve, double from, double level);  // 0 for an empty curve

// The root-mean-square magnitude of the curves, with power-weighted phase, on the first curve's
// axis; null curves after the first are left out. Null when the list is empty or starts with
// null.
CurvePtr PowerAverage(const std::vector<CurvePtr>& curves);

// Construction and copying.
CurvePtr FromSamples(const double* samples, int n, double sampleRate);
CurvePtr Clone(const CCurve& curve);
void CopyInto(const CCurve& source, CCurve& destination);  // keeps the destination's name
void Resize(CCurve& curve, int n);

// Time <-> frequency. nullptr when the work arrays cannot be allocated or the curve does not
// define a usable spacing (fewer than 2 points, or equal first two axis values).
CurvePtr Fft(const CCurve& curve);
CurvePtr InverseFft(const CCurve& curve);
// The curve on a uniform grid from 0 Hz; may return the argument itself. Curves of fewer than
// two points are returned as they are; nullptr when the spacing is not positive or the grid would
// be too large to allocate.
CurvePtr ToUniformGrid(const CurvePtr& curve);

// Fractional-octave smoothing onto a logarithmic grid (see Smooth.cpp for the parameters).
void Smooth(CCurve& curve, double fraction, double pointsPerOctave, double lowest, double highest,
            int normalise);

// Acceptance of repeated measurements: levels within 3 dB over lo..hi, ignoring points more than
// 20 dB below b's peak in both curves.
bool IsSimilar(const CCurve& a, const CCurve& b, double lo, double hi);

// Subtracts the arithmetic mean of n values and returns it (0 when n < 1).
double RemoveMean(double* values, int n);
