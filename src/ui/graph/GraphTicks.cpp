#include "ui/graph/GraphTicks.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace Graphing {

namespace {

constexpr double kTolerance = 1.01;
constexpr double kMajor[] = {1.0, 2.0, 5.0};
constexpr double kMinor[] = {1.5, 3.0, 4.0, 6.0, 7.0, 8.0, 9.0};
// More ticks than this means a range no screen can show; nothing is drawn.
constexpr double kMaxTicks = 1000.0;

std::wstring Widen(const char* text) {
    return std::wstring(text, text + std::strlen(text));
}

}  // namespace

double GridStep(double min, double max) {
    const double span = max - min;
    if (!(span > 0.0) || !std::isfinite(span)) {
        return 0.0;
    }
    const double d = std::pow(10.0, std::floor(std::log10(span)));
    const double q = span / d;
    if (q <= 2.0) {
        return d / 5.0;
    }
    return q < 5.0 ? d / 2.0 : d;
}

std::wstring FormatNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.8g", v);
    std::string s(text);
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
    return Widen(s.c_str());
}

std::wstring FormatLabel(double v, LabelKind kind) {
    switch (kind) {
        case LabelKind::Frequency:
            return v >= 1000.0 ? FormatNumber(v / 1000.0) + L"k" : FormatNumber(v);
        case LabelKind::Time:
            return FormatNumber(v * 1000.0);
        case LabelKind::Plain:
            break;
    }
    return FormatNumber(v);
}

std::vector<Tick> DecadeTicks(double min, double max, LabelKind kind) {
    std::vector<Tick> ticks;
    const double lower = min / kTolerance;
    const double upper = max * kTolerance;
    if (!(lower > 0.0) || !std::isfinite(upper) || !(upper > lower)) {
        return ticks;
    }
    const int first = static_cast<int>(std::floor(std::log10(lower)));
    const int last = static_cast<int>(std::ceil(std::log10(upper)));
    for (int e = first; e <= last; ++e) {
        const double d = std::pow(10.0, e);
        for (double m : kMajor) {
            if (m * d >= lower && m * d <= upper) {
                ticks.push_back({m * d, 0, true, FormatLabel(m * d, kind)});
            }
        }
        for (double m : kMinor) {
            if (m * d >= lower && m * d <= upper) {
                ticks.push_back({m * d, 0, false, {}});
            }
        }
    }
    return ticks;
}

std::vector<Tick> LinearTicks(double min, double max, LabelKind kind) {
    std::vector<Tick> ticks;
    const double step = GridStep(min, max);
    if (step <= 0.0 || (max - min) / step > kMaxTicks) {
        return ticks;
    }
    double rem = std::fmod(min, step);
    if (rem < 0.0) {
        rem += step;
    }
    const double first = min + step - rem;
    const double end = max + step * 1e-9;
    for (int k = 0;; ++k) {
        const double v = first + k * step;
        if (v > end) {
            break;
        }
        const double shown = std::fabs(v) < step / 2.0 ? 0.0 : v;
        ticks.push_back({shown, 0, true, FormatLabel(shown, kind)});
    }
    return ticks;
}

double ThinLabels(std::vector<Tick>& ticks, double step, int minGap) {
    if (ticks.size() < 2 || !(step > 0.0)) {
        return step;
    }
    const double perStep =
        std::abs(ticks.back().pixel - ticks.front().pixel) / static_cast<double>(ticks.size() - 1);
    double m = 1.0;
    for (double decade = 1.0; perStep * m < minGap && decade <= kMaxTicks; decade *= 10.0) {
        for (double f : kMajor) {
            m = f * decade;
            if (perStep * m >= minGap) {
                break;
            }
        }
    }
    if (m == 1.0) {
        return step;
    }
    for (Tick& t : ticks) {
        if (std::fmod(std::fabs(std::round(t.value / step)), m) != 0.0) {
            t.major = false;
            t.label.clear();
        }
    }
    return step * m;
}

std::vector<Tick> AxisTicks(const CGraphMap& map, bool xAxis, LabelKind kind) {
    const double min = xAxis ? map.X0() : map.Y0();
    const double max = xAxis ? map.X1() : map.Y1();
    const bool log = xAxis ? map.LogX() : map.LogY();
    std::vector<Tick> ticks = log && min > 0.0 && std::log10(max / min) >= 1.0
                                  ? DecadeTicks(min, max, kind)
                                  : LinearTicks(min, max, kind);
    for (Tick& t : ticks) {
        t.pixel = xAxis ? map.XToPixel(t.value) : map.YToPixel(t.value);
    }
    return ticks;
}

}  // namespace Graphing
