#include "ui/graph/GraphMap.h"

#include <algorithm>
#include <cmath>

namespace Graphing {

namespace {

constexpr double kLogFloor = 1e-40;
constexpr double kLogEmptyTop = 1e-39;
constexpr double kMaxDecades = 100000.0;
// Pixel results are kept well inside int.
constexpr double kPixelLimit = 1 << 28;

void SetAxisRange(CGraphMap::Axis& axis, double a, double b) {
    if (!axis.log) {
        axis.lo = axis.worldLo = a;
        axis.hi = axis.worldHi = b;
        return;
    }
    const double floorA = std::max(a, kLogFloor);
    const double top = b > floorA ? b : kLogEmptyTop;
    axis.hi = std::log(top);
    axis.worldHi = top;
    const double lo = std::log(floorA);
    const double minLo = axis.hi - std::log(kMaxDecades);
    if (lo < minLo) {
        axis.lo = minLo;
        axis.worldLo = std::exp(minLo);
    } else {
        axis.lo = lo;
        axis.worldLo = floorA;
    }
}

double AxisValue(const CGraphMap::Axis& axis, double v) {
    return axis.log ? std::log(std::max(v, kLogFloor)) : v;
}

double AxisInverse(const CGraphMap::Axis& axis, double u) {
    return axis.log ? std::exp(u) : u;
}

int AxisPixel(const CGraphMap::Axis& axis, double v, bool clamp) {
    const double span = axis.hi - axis.lo;
    if (!(span != 0.0) || std::isnan(v)) {
        return axis.origin;
    }
    double u = AxisValue(axis, v);
    if (clamp) {
        u = std::clamp(u, std::min(axis.lo, axis.hi), std::max(axis.lo, axis.hi));
    }
    const double p = axis.origin + (u - axis.lo) * axis.length / span;
    return static_cast<int>(std::clamp(p, -kPixelLimit, kPixelLimit));
}

double AxisWorld(const CGraphMap::Axis& axis, int pixel, bool clamp) {
    if (clamp) {
        const int end = axis.origin + axis.length;
        pixel = std::clamp(pixel, std::min(axis.origin, end), std::max(axis.origin, end));
    }
    if (axis.length == 0) {
        return AxisInverse(axis, axis.lo);
    }
    return AxisInverse(axis, axis.lo + (pixel - axis.origin) * (axis.hi - axis.lo) / axis.length);
}

}  // namespace

CGraphMap::CGraphMap(bool logX, bool logY) {
    x_.log = logX;
    y_.log = logY;
    SetRanges(1.0, 10.0, 1.0, 10.0);
}

void CGraphMap::SetRanges(double x0, double x1, double y0, double y1) {
    SetAxisRange(x_, x0, x1);
    SetAxisRange(y_, y0, y1);
}

int CGraphMap::XToPixel(double x) const {
    return AxisPixel(x_, x, true);
}
int CGraphMap::YToPixel(double y) const {
    return AxisPixel(y_, y, true);
}
double CGraphMap::PixelToX(int px) const {
    return AxisWorld(x_, px, false);
}
double CGraphMap::PixelToY(int py) const {
    return AxisWorld(y_, py, false);
}
double CGraphMap::FractionalPixelToX(double px) const {
    if (x_.length == 0) {
        return AxisInverse(x_, x_.lo);
    }
    return AxisInverse(x_, x_.lo + (px - x_.origin) * (x_.hi - x_.lo) / x_.length);
}

int CGraphMap::XToPixelUnclamped(double x) const {
    return AxisPixel(x_, x, false);
}
int CGraphMap::YToPixelUnclamped(double y) const {
    return AxisPixel(y_, y, false);
}
double CGraphMap::PixelToXClamped(int px) const {
    return AxisWorld(x_, px, true);
}
double CGraphMap::PixelToYClamped(int py) const {
    return AxisWorld(y_, py, true);
}

void CGraphMap::SetRect(int left, int bottom, int width, int height) {
    x_.origin = left;
    x_.length = width;
    y_.origin = bottom;
    y_.length = -height;
}

PixelRect CGraphMap::Rect() const {
    return {Left(), Bottom() - Height(), Left() + Width(), Bottom()};
}

bool CGraphMap::Contains(PixelPoint p) const {
    const PixelRect r = Rect();
    return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

PixelPoint CGraphMap::ClampPixel(PixelPoint p) const {
    const PixelRect r = Rect();
    return {std::clamp(p.x, std::min(r.left, r.right), std::max(r.left, r.right)),
            std::clamp(p.y, std::min(r.top, r.bottom), std::max(r.top, r.bottom))};
}

double CGraphMap::XToAxis(double x) const {
    return AxisValue(x_, x);
}
double CGraphMap::YToAxis(double y) const {
    return AxisValue(y_, y);
}
double CGraphMap::AxisToX(double u) const {
    return AxisInverse(x_, u);
}
double CGraphMap::AxisToY(double u) const {
    return AxisInverse(y_, u);
}

std::unique_ptr<CGraphMap> MakeMap(bool logX, bool logY) {
    if (logX) {
        return logY ? std::unique_ptr<CGraphMap>(new CGMapLogLog)
                    : std::unique_ptr<CGraphMap>(new CGMapLogLin);
    }
    return logY ? std::unique_ptr<CGraphMap>(new CGMapLinLog)
                : std::unique_ptr<CGraphMap>(new CGMapLinLin);
}

}  // namespace Graphing
