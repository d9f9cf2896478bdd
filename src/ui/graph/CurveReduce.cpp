#include "ui/graph/CurveReduce.h"

#include <cmath>

namespace Graphing {

namespace {

class ColumnReducer {
public:
    ColumnReducer(const PolylineSink& sink, std::vector<PixelPoint>& buffer)
        : sink_(sink), buffer_(buffer) {
        buffer_.clear();
    }

    void Add(PixelPoint p) {
        if (!open_) {
            Start(p);
        } else if (p.x != first_.x) {
            Close();
            Start(p);
        } else {
            if (p.y < high_.y) {
                high_ = p;
            }
            if (p.y > low_.y) {
                low_ = p;
            }
            last_ = p;
        }
    }

    // Ends the polyline: the next point starts a new one, with a gap between them.
    void Finish() {
        if (open_) {
            Close();
            open_ = false;
        }
        if (buffer_.size() >= 2) {
            sink_(buffer_);
        }
        buffer_.clear();
    }

private:
    void Start(PixelPoint p) {
        first_ = high_ = low_ = last_ = p;
        open_ = true;
    }

    void Close() {
        Append(first_);
        Append(high_);
        Append(low_);
        Append(last_);
    }

    void Append(PixelPoint p) {
        if (!buffer_.empty() && buffer_.back() == p) {
            return;
        }
        buffer_.push_back(p);
        if (buffer_.size() >= kMaxPolylinePoints) {
            sink_(buffer_);
            buffer_.clear();
            buffer_.push_back(p);
        }
    }

    const PolylineSink& sink_;
    std::vector<PixelPoint>& buffer_;
    bool open_ = false;
    PixelPoint first_, high_, low_, last_;
};

// The pixel column of x, without the logarithm while x stays between a value known to map to
// the current column and the start of the next column. The map's pixel is monotonic in x, and
// the next column's start is taken a millionth of a pixel early, so the result is the map's own.
class ColumnFinder {
public:
    explicit ColumnFinder(const CGraphMap& map) : map_(map), increasing_(map.X1() > map.X0()) {}

    int Column(double x) {
        if (increasing_ && x >= known_ && x < nextStart_) {
            return column_;
        }
        column_ = map_.XToPixel(x);
        known_ = x;
        nextStart_ = map_.FractionalPixelToX(column_ + 1 - 1e-6);
        return column_;
    }

private:
    const CGraphMap& map_;
    bool increasing_;
    int column_ = 0;
    double known_ = 1.0;
    double nextStart_ = 0.0;  // empty interval until the first point
};

// Where a value lies against the plot's y range: inside, below, above, or not a number.
enum class Side { Inside, Below, Above, None };

}  // namespace

void ReduceCurve(const CGraphMap& map, std::span<const double> x, std::span<const double> y,
                 const PolylineSink& sink, std::vector<PixelPoint>& buffer) {
    if (x.size() != y.size()) {
        return;
    }
    const double x0 = map.X0();
    const double x1 = map.X1();
    const bool rising = map.YToAxis(map.Y1()) >= map.YToAxis(map.Y0());
    const double worldLow = rising ? map.Y0() : map.Y1();
    const double worldHigh = rising ? map.Y1() : map.Y0();
    const double low = map.YToAxis(worldLow);
    const double high = map.YToAxis(worldHigh);
    // The axis is monotonic in the value, so world values compare as their axis values do.
    const auto sideOf = [&](double v) {
        if (std::isnan(v)) {
            return Side::None;
        }
        return v < worldLow ? Side::Below : v > worldHigh ? Side::Above : Side::Inside;
    };
    ColumnReducer reducer(sink, buffer);
    ColumnFinder columns(map);
    // The point where the segment from (px, py) to (cx, cy) meets the edge of `side`, on the
    // edge's own pixel row.
    const auto crossing = [&](double px, double py, double cx, double cy, Side side) {
        const double edge = side == Side::Below ? low : high;
        const double ua = map.YToAxis(py);
        const double ub = map.YToAxis(cy);
        const double t = ub != ua ? (edge - ua) / (ub - ua) : 0.0;
        const double ax = map.XToAxis(px);
        const double at = map.AxisToX(ax + t * (map.XToAxis(cx) - ax));
        return PixelPoint{columns.Column(at),
                          map.YToPixel(side == Side::Below ? worldLow : worldHigh)};
    };
    bool havePrevious = false;
    double px = 0.0, py = 0.0;
    Side previous = Side::None;
    for (std::size_t i = 0; i < x.size(); ++i) {
        // Written so that NaN is skipped too.
        if (!(x[i] >= x0 && x[i] <= x1)) {
            continue;
        }
        const Side side = sideOf(y[i]);
        const bool edges = havePrevious && previous != Side::None && side != Side::None;
        if (side == Side::Inside) {
            // Coming back into the plot: the line resumes at the edge it crossed.
            if (edges && previous != Side::Inside) {
                reducer.Add(crossing(px, py, x[i], y[i], previous));
            }
            reducer.Add({columns.Column(x[i]), map.YToPixel(y[i])});
        } else if (havePrevious && previous == Side::Inside) {
            // Leaving it: the line ends at the edge.
            if (edges) {
                reducer.Add(crossing(px, py, x[i], y[i], side));
            }
            reducer.Finish();
        } else if (edges && previous != side) {
            // From below to above (or back) in one step: only the part across the plot.
            reducer.Add(crossing(px, py, x[i], y[i], previous));
            reducer.Add(crossing(px, py, x[i], y[i], side));
            reducer.Finish();
        }
        havePrevious = true;
        px = x[i];
        py = y[i];
        previous = side;
    }
    reducer.Finish();
}

}  // namespace Graphing
