#include "ui/graph/GraphScale.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <utility>

namespace Graphing {

namespace {

constexpr double kEdge = 0.05;
constexpr double kPan = 0.25;

// Shifts in axis space (logarithms on a logarithmic axis), so that a range pushed past a limit
// keeps its length on screen.
void KeepAxisWithin(double& a, double& b, double lo, double hi, bool log) {
    auto axis = [log](double v) { return log ? std::log(std::max(v, 1e-40)) : v; };
    auto world = [log](double u) { return log ? std::exp(u) : u; };
    if (a < lo) {
        b = world(axis(b) + axis(lo) - axis(a));
        a = lo;
    } else if (b > hi) {
        a = world(axis(a) - (axis(b) - axis(hi)));
        b = hi;
    }
    a = std::max(a, lo);
    b = std::min(b, hi);
}

struct Extent {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    bool Empty() const { return !(lo <= hi); }
    void Add(double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
};

bool Usable(double v, bool log) {
    return std::isfinite(v) && (!log || v > 0.0);
}

void WidenToGrid(Extent& e, bool log) {
    if (log) {
        e.lo = std::pow(10.0, std::floor(std::log10(e.lo)));
        e.hi = std::pow(10.0, std::ceil(std::log10(e.hi)));
        if (e.hi <= e.lo) {
            e.hi = e.lo * 10.0;
        }
        return;
    }
    if (e.hi <= e.lo) {
        e.lo -= 1.0;
        e.hi += 1.0;
    }
    const double step = GridStep(e.lo, e.hi);
    if (step > 0.0) {
        e.lo = std::floor(e.lo / step) * step;
        e.hi = std::ceil(e.hi / step) * step;
    }
}

}  // namespace

ZoomLimits DefaultLimits(Domain domain, bool logY) {
    ZoomLimits limits;
    if (domain == Domain::Time) {
        limits.x0 = 0.0;
        limits.x1 = 10.0;
        limits.minXSpan = 0.001;
    }
    if (logY) {
        limits.y0 = std::pow(10.0, -7.5);
        limits.y1 = std::pow(10.0, 7.5);
        limits.minYSpan = 0.0;
    }
    return limits;
}

Ranges KeepWithin(Ranges r, const ZoomLimits& limits, bool logX, bool logY) {
    KeepAxisWithin(r.x0, r.x1, limits.x0, limits.x1, logX);
    KeepAxisWithin(r.y0, r.y1, limits.y0, limits.y1, logY);
    return r;
}

Ranges ZoomAnchored(const CGraphMap& map, PixelPoint cursor, bool zoomIn,
                    const ZoomLimits& limits) {
    const PixelPoint at = map.Contains(cursor) ? cursor
                                               : PixelPoint{map.Left() + map.Width() / 2,
                                                            map.Bottom() - map.Height() / 2};
    const double factor = zoomIn ? 1.0 - 2.0 * kEdge : 1.0 + 2.0 * kEdge;
    auto scale = [factor](double u0, double u1, double anchor) {
        return std::pair{anchor - (anchor - u0) * factor, anchor + (u1 - anchor) * factor};
    };
    double ux0 = map.XToAxis(map.X0()), ux1 = map.XToAxis(map.X1());
    double uy0 = map.YToAxis(map.Y0()), uy1 = map.YToAxis(map.Y1());
    if (!zoomIn || map.X1() - map.X0() > limits.minXSpan)
        std::tie(ux0, ux1) = scale(ux0, ux1, map.XToAxis(map.FractionalPixelToX(at.x)));
    if (!zoomIn || map.Y1() - map.Y0() > limits.minYSpan)
        std::tie(uy0, uy1) = scale(uy0, uy1, map.YToAxis(map.PixelToY(at.y)));
    const Ranges r{map.AxisToX(ux0), map.AxisToX(ux1), map.AxisToY(uy0), map.AxisToY(uy1)};
    return KeepWithin(r, limits, map.LogX(), map.LogY());
}

Ranges PanStep(const CGraphMap& map, int steps, const ZoomLimits& limits) {
    const double u0 = map.XToAxis(map.X0()), u1 = map.XToAxis(map.X1());
    const double shift = (u1 - u0) * 0.1 * steps;
    const Ranges r{map.AxisToX(u0 + shift), map.AxisToX(u1 + shift), map.Y0(), map.Y1()};
    return KeepWithin(r, limits, map.LogX(), map.LogY());
}

Ranges ZoomStep(const CGraphMap& map, PixelPoint cursor, bool zoomIn, const ZoomLimits& limits) {
    const double width = map.Width();
    const double height = map.Height();
    const double cx = map.Left() + width / 2.0;
    const double cy = map.Bottom() - height / 2.0;
    double px = cx;
    double py = cy;
    if (map.Contains(cursor)) {
        px = cursor.x;
        py = cursor.y;
    }
    const double fx = width > 0.0 ? kPan * (px - cx) / width : 0.0;
    const double fy = height > 0.0 ? kPan * (cy - py) / height : 0.0;

    double ux0 = map.XToAxis(map.X0());
    double ux1 = map.XToAxis(map.X1());
    double uy0 = map.YToAxis(map.Y0());
    double uy1 = map.YToAxis(map.Y1());
    const double sx = ux1 - ux0;
    const double sy = uy1 - uy0;
    ux0 += fx * sx;
    ux1 += fx * sx;
    uy0 += fy * sy;
    uy1 += fy * sy;
    if (zoomIn) {
        if (map.X1() - map.X0() > limits.minXSpan) {
            ux0 += kEdge * sx;
            ux1 -= kEdge * sx;
        }
        if (map.Y1() - map.Y0() > limits.minYSpan) {
            uy0 += kEdge * sy;
            uy1 -= kEdge * sy;
        }
    } else {
        ux0 -= kEdge * sx;
        ux1 += kEdge * sx;
        uy0 -= kEdge * sy;
        uy1 += kEdge * sy;
    }
    const Ranges r{map.AxisToX(ux0), map.AxisToX(ux1), map.AxisToY(uy0), map.AxisToY(uy1)};
    return KeepWithin(r, limits, map.LogX(), map.LogY());
}

Ranges AutoScale(const CGraphMap& map, std::span<const DrawEntry> curves, const ZoomLimits& limits,
                 const Ranges& fallback) {
    Extent ex;
    for (const DrawEntry& c : curves) {
        if (c.x.size() != c.y.size()) {
            continue;
        }
        for (double x : c.x) {
            if (Usable(x, map.LogX())) {
                ex.Add(x);
            }
        }
    }
    ex.lo = std::max(ex.lo, limits.x0);
    ex.hi = std::min(ex.hi, limits.x1);
    if (ex.Empty() || ex.lo == ex.hi) {
        return fallback;
    }
    Extent ey;
    for (const DrawEntry& c : curves) {
        if (c.x.size() != c.y.size()) {
            continue;
        }
        for (std::size_t i = 0; i < c.x.size(); ++i) {
            if (c.x[i] >= ex.lo && c.x[i] <= ex.hi && Usable(c.y[i], map.LogY())) {
                ey.Add(std::clamp(c.y[i], limits.y0, limits.y1));
            }
        }
    }
    if (ey.Empty()) {
        return {ex.lo, ex.hi, fallback.y0, fallback.y1};
    }
    WidenToGrid(ey, map.LogY());
    return {ex.lo, ex.hi, std::max(ey.lo, limits.y0), std::min(ey.hi, limits.y1)};
}

}  // namespace Graphing
