#include "ui/graph/CurveReduce.h"

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

    void Finish() {
        if (open_) {
            Close();
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

}  // namespace

void ReduceCurve(const CGraphMap& map, std::span<const double> x, std::span<const double> y,
                 const PolylineSink& sink, std::vector<PixelPoint>& buffer) {
    if (x.size() != y.size()) {
        return;
    }
    const double x0 = map.X0();
    const double x1 = map.X1();
    ColumnReducer reducer(sink, buffer);
    ColumnFinder columns(map);
    for (std::size_t i = 0; i < x.size(); ++i) {
        // Written so that NaN is skipped too.
        if (!(x[i] >= x0 && x[i] <= x1)) {
            continue;
        }
        reducer.Add({columns.Column(x[i]), map.YToPixel(y[i])});
    }
    reducer.Finish();
}

}  // namespace Graphing
