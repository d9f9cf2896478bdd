#pragma once
// Plain values shared by the graph's map, its drawing and its owners. Pixels are device pixels:
// the widget converts to its own coordinates once.

#include <cstdint>

namespace Graphing {

// 0x00bbggrr: bits 0-7 red, 8-15 green, 16-23 blue.
using Color = std::uint32_t;

constexpr Color Rgb(int r, int g, int b) {
    return static_cast<Color>((r & 0xff) | ((g & 0xff) << 8) | ((b & 0xff) << 16));
}
constexpr int Red(Color c) {
    return static_cast<int>(c & 0xff);
}
constexpr int Green(Color c) {
    return static_cast<int>((c >> 8) & 0xff);
}
constexpr int Blue(Color c) {
    return static_cast<int>((c >> 16) & 0xff);
}

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

// Inclusive corners: a plot of width w spans the columns left ... left + w.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const PixelRect&) const = default;
};

enum class PenStyle { Solid, Dot };

struct Pen {
    Color color = Rgb(0, 0, 0);
    int width = 1;
    PenStyle style = PenStyle::Solid;
    bool operator==(const Pen&) const = default;
};

// World ranges of both axes (Hz or seconds on x).
struct Ranges {
    double x0 = 0.0;
    double x1 = 0.0;
    double y0 = 0.0;
    double y1 = 0.0;
    bool operator==(const Ranges&) const = default;
};

}  // namespace Graphing
