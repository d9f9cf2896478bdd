#include "export/EqListing.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <optional>

#include "threading/Errors.h"

namespace Exporting {

namespace {

constexpr double kMatchDb = 0.05;
constexpr int kCheckPoints = 200;

struct Params {
    double frequency, gainDb, q;
};

double Gain(const Biquad& c, double z) {
    return (c.b0 + c.b1 * z + c.b2 * z * z) / (1.0 + c.a1 * z + c.a2 * z * z);
}

// Common parts of the inversions: w from its cosine, Q from alpha.
std::optional<Params> FromCosine(double cosw, double alpha, double gainDb, double rate) {
    if (!(std::fabs(cosw) < 1.0) || !(alpha > 0.0) || !std::isfinite(gainDb))
        return std::nullopt;
    const double w = std::acos(cosw);
    return Params{w * rate / (2.0 * std::numbers::pi), gainDb, std::sin(w) / (2.0 * alpha)};
}

std::optional<Params> Peaking(const Biquad& c, double rate) {
    const double d = 1.0 + c.a2;
    if (!(d > 0.0))
        return std::nullopt;
    const double alphaOverA = 2.0 / d - 1.0;
    const double alphaTimesA = c.b0 * 2.0 / d - 1.0;
    if (!(alphaOverA > 0.0) || !(alphaTimesA > 0.0))
        return std::nullopt;
    const double a = std::sqrt(alphaTimesA / alphaOverA);
    return FromCosine(-c.a1 / d, std::sqrt(alphaTimesA * alphaOverA), 40.0 * std::log10(a), rate);
}

std::optional<Params> Shelf(const Biquad& c, double rate, bool low) {
    const double edge = Gain(c, low ? 1.0 : -1.0);
    const double d = 1.0 + c.a2;
    if (!(edge > 0.0) || !(d > 0.0))
        return std::nullopt;
    const double a = std::sqrt(edge);
    const double r = c.a1 / d;
    const double p = a + 1.0, m = a - 1.0;
    const double cosw = low ? -(r * p + m) / (p + r * m) : (m - r * p) / (p - r * m);
    const double a0 = 2.0 * (low ? p + m * cosw : p - m * cosw) / d;
    const double alpha = (1.0 - c.a2) * a0 / (4.0 * std::sqrt(a));
    return FromCosine(cosw, alpha, 40.0 * std::log10(a), rate);
}

Biquad Scaled(Biquad c, double k) {
    c.b0 *= k, c.b1 *= k, c.b2 *= k;
    return c;
}

bool Rebuilds(const Biquad& c, SectionShape shape, const Params& p, double k, double rate) {
    const Biquad rebuilt = Scaled(DesignSection(shape, p.frequency, p.gainDb, p.q, rate), k);
    for (int i = 0; i < kCheckPoints; ++i) {
        const double f = (i + 0.5) * rate / 2.0 / kCheckPoints;
        if (!(std::fabs(SectionLevelDb(rebuilt, f, rate) - SectionLevelDb(c, f, rate)) < kMatchDb))
            return false;
    }
    return true;
}

std::string Fixed(const char* format, double v) {
    char text[48];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

}  // namespace

const char* ShapeName(SectionShape shape) {
    switch (shape) {
        case SectionShape::Flat:
            return "flat";
        case SectionShape::Peaking:
            return "peaking";
        case SectionShape::LowShelf:
            return "low_shelf";
        case SectionShape::HighShelf:
            return "high_shelf";
        case SectionShape::Other:
            break;
    }
    return "other";
}

Biquad BandCoefficients(const EqBand& band) {
    const double g = std::ldexp(1.0, 1 - band.shift);
    return {band.c2 * g, band.c1 * g, band.c0 * g, band.c4 * 2.0, band.c3 * 2.0};
}

Biquad DesignSection(SectionShape shape, double frequency, double gainDb, double q, double rate) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = 2.0 * std::numbers::pi * frequency / rate;
    const double cw = std::cos(w);
    const double alpha = std::sin(w) / (2.0 * q);
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a0 = 1.0, a1 = 0.0, a2 = 0.0;
    const double p = a + 1.0, m = a - 1.0, s = 2.0 * std::sqrt(a) * alpha;
    switch (shape) {
        case SectionShape::Peaking:
            b0 = 1.0 + alpha * a, b1 = -2.0 * cw, b2 = 1.0 - alpha * a;
            a0 = 1.0 + alpha / a, a1 = -2.0 * cw, a2 = 1.0 - alpha / a;
            break;
        case SectionShape::LowShelf:
            b0 = a * (p - m * cw + s), b1 = 2.0 * a * (m - p * cw), b2 = a * (p - m * cw - s);
            a0 = p + m * cw + s, a1 = -2.0 * (m + p * cw), a2 = p + m * cw - s;
            break;
        case SectionShape::HighShelf:
            b0 = a * (p + m * cw + s), b1 = -2.0 * a * (m + p * cw), b2 = a * (p + m * cw - s);
            a0 = p - m * cw + s, a1 = 2.0 * (m - p * cw), a2 = p - m * cw - s;
            break;
        case SectionShape::Flat:
        case SectionShape::Other:
            break;
    }
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

double SectionLevelDb(const Biquad& c, double f, double rate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * f / rate);
    const std::complex<double> num = c.b0 + z1 * (c.b1 + z1 * c.b2);
    const std::complex<double> den = 1.0 + z1 * (c.a1 + z1 * c.a2);
    return 20.0 * std::log10(std::max(std::abs(num) / std::abs(den), 1e-40));
}

SectionInfo DescribeSection(const EqBand& band, double rate) {
    SectionInfo info;
    info.band = band;
    info.coefficients = BandCoefficients(band);
    const Biquad& c = info.coefficients;
    // Each shape may come with a constant factor k: the level the section has where the shape
    // is flat (both ends for a peak, the far end for a shelf).
    const double dc = Gain(c, 1.0), nyquist = Gain(c, -1.0);
    if (dc > 0.0 && Rebuilds(c, SectionShape::Peaking, {rate / 4.0, 0.0, 1.0}, dc, rate)) {
        info.shape = SectionShape::Flat;
        info.levelDb = 20.0 * std::log10(dc);
        return info;
    }
    const double kPeak = dc > 0.0 && nyquist > 0.0 ? std::sqrt(dc * nyquist) : 0.0;
    const std::pair<SectionShape, double> candidates[] = {
        {SectionShape::Peaking, kPeak},
        {SectionShape::LowShelf, nyquist},
        {SectionShape::HighShelf, dc},
    };
    for (const auto& [shape, k] : candidates) {
        if (!(k > 0.0))
            continue;
        const Biquad unit = Scaled(c, 1.0 / k);
        const std::optional<Params> params =
            shape == SectionShape::Peaking ? Peaking(unit, rate)
                                           : Shelf(unit, rate, shape == SectionShape::LowShelf);
        // A shelf times a level is also the opposite shelf times another: the smaller level wins.
        const double level = 20.0 * std::log10(k);
        if (info.shape != SectionShape::Other && std::fabs(level) >= std::fabs(info.levelDb))
            continue;
        if (params && Rebuilds(c, shape, *params, k, rate)) {
            info.shape = shape;
            info.frequency = params->frequency;
            info.gainDb = params->gainDb;
            info.q = params->q;
            info.levelDb = level;
        }
    }
    return info;
}

std::vector<SectionInfo> ListSections(const EqResult& eq, double rate) {
    std::vector<SectionInfo> out;
    out.reserve(eq.bands.size());
    for (const EqBand& band : eq.bands)
        out.push_back(DescribeSection(band, rate));
    return out;
}

std::string EqListingText(const EqResult& eq, double rate, const std::wstring& name) {
    std::string out = "Equaliser of " + tsl::ToUtf8(name) + ": overall gain " +
                      Fixed("%.1f", eq.gain) + " dB, " + std::to_string(eq.bands.size()) +
                      " sections at " + Fixed("%g", rate) + " Hz" +
                      (eq.valid != 0 ? "" : " (not fitted)") + "\n";
    out +=
        "section shape       frequency_Hz   gain_dB         Q  level_dB  coefficients b0 b1 b2 "
        "a1 a2\n";
    const auto sections = ListSections(eq, rate);
    for (size_t i = 0; i < sections.size(); ++i) {
        const SectionInfo& s = sections[i];
        char row[256];
        const bool shaped = s.shape != SectionShape::Flat && s.shape != SectionShape::Other;
        std::snprintf(row, sizeof row, "%7zu %-10s  %12s  %8s  %8s  %8s ", i + 1,
                      ShapeName(s.shape), shaped ? Fixed("%.2f", s.frequency).c_str() : "-",
                      shaped ? Fixed("%.2f", s.gainDb).c_str() : "-",
                      shaped ? Fixed("%.3f", s.q).c_str() : "-",
                      s.shape != SectionShape::Other ? Fixed("%.2f", s.levelDb).c_str() : "-");
        out += row;
        const Biquad& c = s.coefficients;
        for (double v : {c.b0, c.b1, c.b2, c.a1, c.a2})
            out += " " + Fixed("%.12g", v);
        out += "\n";
    }
    return out;
}

std::string EqListingJson(const EqResult& eq, double rate, const std::wstring& name) {
    nlohmann::ordered_json sections = nlohmann::ordered_json::array();
    for (const SectionInfo& s : ListSections(eq, rate)) {
        nlohmann::ordered_json j{{"shape", ShapeName(s.shape)}};
        if (s.shape != SectionShape::Flat && s.shape != SectionShape::Other) {
            j["frequency_hz"] = s.frequency;
            j["gain_db"] = s.gainDb;
            j["q"] = s.q;
        }
        if (s.shape != SectionShape::Other)
            j["level_db"] = s.levelDb;
        const Biquad& c = s.coefficients;
        j["coefficients"] = {{"b0", c.b0}, {"b1", c.b1}, {"b2", c.b2}, {"a1", c.a1}, {"a2", c.a2}};
        j["record"] = {{"kind", s.band.kind},  {"c0", s.band.c0}, {"c1", s.band.c1},
                       {"c2", s.band.c2},      {"c3", s.band.c3}, {"c4", s.band.c4},
                       {"shift", s.band.shift}};
        sections.push_back(std::move(j));
    }
    return nlohmann::ordered_json{{"name", tsl::ToUtf8(name)},
                                  {"gain_db", eq.gain},
                                  {"valid", eq.valid},
                                  {"rate_hz", rate},
                                  {"sections", std::move(sections)}}
        .dump(2);
}

}  // namespace Exporting
