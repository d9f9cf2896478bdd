// The Decay window's waterfall repaint, offscreen (in tessaline-gui-bench).

#include <benchmark/benchmark.h>

#include <QImage>

#include "decay_doc.h"
#include "export/DecayModel.h"
#include "ui/qt/CGraphCtrl.h"

namespace {

// The positions' average of a ten-position document: 21 slices, back to front, on the window's
// frequency graph, repainted after its curves changed.
void BM_WaterfallRepaint(benchmark::State& state) {
    DocData doc;
    bench::FillDecayDocument(doc);
    const Exporting::DecayAnalysis analysis = Exporting::AnalyseDecay(doc);
    Graphing::CurveList curves;
    for (const Exporting::PlotCurve& c :
         Exporting::MakeDecayPlot(analysis, Exporting::DecayView::Waterfall, -1).curves)
        curves.curves.push_back(c.curve);
    Graphing::CGraphCtrl ctrl;
    QImage image{800, 500, QImage::Format_ARGB32_Premultiplied};
    ctrl.resize(image.size());
    ctrl.SetCurveSource(&curves);
    ctrl.Rescale();
    ctrl.render(&image);
    for (auto _ : state) {
        ctrl.CurvesChanged();
        ctrl.render(&image);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WaterfallRepaint)->Unit(benchmark::kMillisecond);

}  // namespace
