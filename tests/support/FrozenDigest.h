#pragma once
// Frozen outputs: digests of numeric results on fixed inputs, recorded once from a trusted build
// and compared after the numeric code changes. A digest holds a hash of the exact bit patterns
// and a few sampled values (for a curve: level in dB and phase at every stride-th point and the
// last). With TSL_RECORD_FROZEN=<file> set, Check appends the current digests to that file as
// initialisers of a frozen::Entry array instead of comparing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "measure/Curve.h"

namespace frozen {

struct Digest {
    int count = 0;
    std::uint64_t hash = 0;
    std::vector<double> samples;
};

struct Entry {
    const char* name;
    Digest digest;
};

// FNV-1a over the bytes of the values.
inline std::uint64_t Hash(const double* v, int n, std::uint64_t h = 0xcbf29ce484222325ull) {
    for (int i = 0; i < n; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, v + i, sizeof bits);
        for (int b = 0; b < 8; ++b) {
            h ^= (bits >> (8 * b)) & 0xff;
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

inline Digest OfValues(const std::vector<double>& values) {
    return {static_cast<int>(values.size()), Hash(values.data(), static_cast<int>(values.size())),
            values};
}

// The curve's bits as they are (axis, first, second, format) and its polar values sampled.
inline Digest OfCurve(const CCurve& curve, int stride) {
    const int n = curve.Count();
    Digest d;
    d.count = n;
    const double format = static_cast<double>(curve.Format());
    d.hash = Hash(curve.X(), n, Hash(curve.First(), n, Hash(curve.Second(), n, Hash(&format, 1))));
    CCurve polar(curve);
    ToMagPhase(polar);
    for (int i = 0; i < n; i = (i + stride < n || i == n - 1) ? i + stride : n - 1) {
        const double m = polar.First()[i];
        d.samples.push_back(m > 0.0 ? 20.0 * std::log10(m) : -800.0);
        d.samples.push_back(polar.Second()[i]);
    }
    return d;
}

inline const char* RecordPath() {
    return std::getenv("TSL_RECORD_FROZEN");
}

inline void Append(const char* name, const Digest& d) {
    std::FILE* f = std::fopen(RecordPath(), "a");
    ASSERT_NE(f, nullptr) << RecordPath();
    std::fprintf(f, "{\"%s\", {%d, 0x%016llxull, {", name, d.count,
                 static_cast<unsigned long long>(d.hash));
    for (size_t i = 0; i < d.samples.size(); ++i)
        std::fprintf(f, "%s%.17g", i == 0 ? "\n    " : i % 4 == 0 ? ",\n    " : ", ", d.samples[i]);
    std::fprintf(f, "}}},\n");
    std::fclose(f);
}

// Phases compare modulo a whole turn; odd sample positions of a curve digest are phases, which
// the caller says through phases.
inline double Difference(double a, double b, bool phase) {
    double d = std::fabs(a - b);
    if (phase)
        d = std::min(d, std::fabs(d - 2.0 * std::numbers::pi));
    return d;
}

// The digests were recorded with glibc's mathematical functions. MinGW's (Windows) round some
// results differently (its sin and cos lose bits for large arguments), so there the samples are
// compared within this, never the bits.
inline constexpr double kOtherMathLibraryTolerance = 1e-3;

// tolerance < 0: the bits must be identical; otherwise every sample within tolerance.
template <size_t N>
void Check(const Entry (&table)[N], const char* name, const Digest& actual, double tolerance,
           bool curve) {
#ifdef _WIN32
    tolerance = std::max(tolerance, kOtherMathLibraryTolerance);
#endif
    if (RecordPath() != nullptr) {
        Append(name, actual);
        return;
    }
    const Entry* found = nullptr;
    for (const Entry& e : table)
        if (std::strcmp(e.name, name) == 0)
            found = &e;
    ASSERT_NE(found, nullptr) << "no frozen digest named " << name;
    const Digest& want = found->digest;
    ASSERT_EQ(actual.count, want.count) << name;
    ASSERT_EQ(actual.samples.size(), want.samples.size()) << name;
    double worst = 0.0;
    size_t worstAt = 0;
    for (size_t i = 0; i < want.samples.size(); ++i) {
        const double d = Difference(actual.samples[i], want.samples[i], curve && i % 2);
        if (d > worst) {
            worst = d;
            worstAt = i;
        }
    }
    if (tolerance < 0.0)
        EXPECT_EQ(actual.hash, want.hash) << name << ": largest sampled difference " << worst;
    else
        EXPECT_LE(worst, tolerance) << name;
#ifndef _WIN32
    if (actual.hash != want.hash)
        std::printf(
            "%s: bits differ from the frozen digest, largest sampled difference %g at sample %zu "
            "(%g)\n",
            name, worst, worstAt, want.samples[worstAt]);
#else
    (void)worstAt;
#endif
}

}  // namespace frozen
