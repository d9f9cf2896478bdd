#pragma once
// The map between world values and the plot rectangle. A logarithmic axis works on the natural
// logarithm of its values and never spans more than five decades.

#include <memory>

#include "ui/graph/GraphTypes.h"

namespace Graphing {

class CGraphMap {
public:
    virtual ~CGraphMap() = default;

    bool LogX() const { return x_.log; }
    bool LogY() const { return y_.log; }

    void SetRanges(double x0, double x1, double y0, double y1);

    // World to pixel, the value first limited to the range.
    int XToPixel(double x) const;
    int YToPixel(double y) const;
    PixelPoint ToPixel(double x, double y) const { return {XToPixel(x), YToPixel(y)}; }
    // Pixel to world.
    double PixelToX(int px) const;
    double PixelToY(int py) const;
    // The world x at a fractional pixel position (no limiting).
    double FractionalPixelToX(double px) const;
    // World to pixel without limiting the value to the range.
    int XToPixelUnclamped(double x) const;
    int YToPixelUnclamped(double y) const;
    // Pixel to world, the pixel first limited to the rectangle.
    double PixelToXClamped(int px) const;
    double PixelToYClamped(int py) const;

    // The rectangle: larger y values lie higher on screen (smaller pixel y).
    void SetRect(int left, int bottom, int width, int height);
    PixelRect Rect() const;
    int Left() const { return x_.origin; }
    int Bottom() const { return y_.origin; }
    int Width() const { return x_.length; }
    int Height() const { return -y_.length; }
    bool Contains(PixelPoint p) const;
    PixelPoint ClampPixel(PixelPoint p) const;

    // The range ends as world values.
    double X0() const { return x_.worldLo; }
    double X1() const { return x_.worldHi; }
    double Y0() const { return y_.worldLo; }
    double Y1() const { return y_.worldHi; }
    Ranges GetRanges() const { return {X0(), X1(), Y0(), Y1()}; }

    // Axis space: the value itself on a linear axis, its natural logarithm on a logarithmic one.
    double XToAxis(double x) const;
    double YToAxis(double y) const;
    double AxisToX(double u) const;
    double AxisToY(double u) const;

    struct Axis {
        bool log = false;
        double lo = 0.0;  // axis space
        double hi = 1.0;
        double worldLo = 0.0;
        double worldHi = 1.0;
        int origin = 0;  // pixel of lo
        int length = 1;  // signed pixel length from lo to hi
    };

protected:
    CGraphMap(bool logX, bool logY);

private:
    Axis x_;
    Axis y_;
};

class CGMapLinLin : public CGraphMap {
public:
    CGMapLinLin() : CGraphMap(false, false) {}
};
class CGMapLinLog : public CGraphMap {
public:
    CGMapLinLog() : CGraphMap(false, true) {}
};
class CGMapLogLin : public CGraphMap {
public:
    CGMapLogLin() : CGraphMap(true, false) {}
};
class CGMapLogLog : public CGraphMap {
public:
    CGMapLogLog() : CGraphMap(true, true) {}
};

std::unique_ptr<CGraphMap> MakeMap(bool logX, bool logY);

}  // namespace Graphing
