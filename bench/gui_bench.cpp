// Benchmarks of the Qt widgets, offscreen. Kept apart from tessaline-bench, which has no Qt.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>

#include "ui/qt/CGraphCtrl.h"

namespace {

using namespace Graphing;

// Three curves of 32769 points log-spaced over the visible 20 ... 1000 Hz, so that every point
// is mapped: a measured response with room modes and ripple, a target and a calculated curve,
// drawn with the view's pens (solid 4, dotted 1, solid 4). noisy: the first curve changes
// direction from point to point, so every pixel column holds four distinct pixels.
CurveList ThreeCurves(bool noisy) {
    CurveList list;
    const int n = 32769;
    const Color colors[] = {Rgb(200, 0, 0), Rgb(0, 128, 0), Rgb(0, 0, 255)};
    for (int k = 0; k < 3; ++k) {
        GraphCurve c;
        c.x.resize(n);
        c.y.resize(n);
        for (int i = 0; i < n; ++i) {
            const double f = 20.0 * std::pow(50.0, i / double(n - 1));
            const double rolloff = -10.0 * std::log10(1.0 + std::pow(f / 150.0, 8.0));
            const double modes = k == 1 ? 0.0 : 6.0 * std::sin(f / 7.0) * std::exp(-f / 300.0);
            c.x[i] = f;
            c.y[i] = rolloff + modes - 3.0 * k + (noisy && k == 0 ? 8.0 * (i % 2) : 0.0);
        }
        c.pen = {colors[k], k == 1 ? 1 : 4, k == 1 ? PenStyle::Dot : PenStyle::Solid};
        list.curves.push_back(std::move(c));
    }
    return list;
}

struct GraphFixture {
    CurveList curves;
    CGraphCtrl ctrl;
    QImage image{800, 500, QImage::Format_ARGB32_Premultiplied};

    explicit GraphFixture(bool noisy = false) : curves(ThreeCurves(noisy)) {
        ctrl.resize(image.size());
        ctrl.SetCurveSource(&curves);
        ctrl.Rescale();
        ctrl.render(&image);  // builds the frame cache
    }
};

// A repaint after the curves changed: cached frame, grid and labels, then the three curves.
void BM_GraphRepaint(benchmark::State& state) {
    GraphFixture f;
    for (auto _ : state) {
        f.ctrl.CurvesChanged();
        f.ctrl.render(&f.image);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GraphRepaint)->Unit(benchmark::kMillisecond);

// The worst case for the wide pen: four distinct pixels in every column of the first curve.
void BM_GraphRepaintNoisy(benchmark::State& state) {
    GraphFixture f(true);
    for (auto _ : state) {
        f.ctrl.CurvesChanged();
        f.ctrl.render(&f.image);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GraphRepaintNoisy)->Unit(benchmark::kMillisecond);

// A repaint after a zoom: the frame cache is rebuilt too.
void BM_GraphRepaintAfterZoom(benchmark::State& state) {
    GraphFixture f;
    for (auto _ : state) {
        f.ctrl.Redraw();
        f.ctrl.render(&f.image);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GraphRepaintAfterZoom)->Unit(benchmark::kMillisecond);

// The column reduction of the three curves alone, without drawing.
void BM_GraphColumnReduction(benchmark::State& state) {
    GraphFixture f;
    const CGraphMap& map = f.ctrl.Graph().Map();
    std::vector<PixelPoint> scratch;
    for (auto _ : state) {
        size_t points = 0;
        for (const GraphCurve& c : f.curves.curves) {
            ReduceCurve(
                map, c.x, c.y, [&](std::span<const PixelPoint> p) { points += p.size(); }, scratch);
        }
        benchmark::DoNotOptimize(points);
    }
}
BENCHMARK(BM_GraphColumnReduction)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
