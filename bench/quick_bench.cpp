// The quick measurement's analysis, one core (see bench_util.h): two sweep periods of the
// simulator's built-in room to the corrected, smoothed curve the live view draws.

#include <benchmark/benchmark.h>

#include "app/QuickAnalysis.h"
#include "bench_util.h"
#include "sim_scene.h"

namespace {

void BM_QuickAnalysis(benchmark::State& state) {
    const bench::SimScene& scene = bench::SimScene::Get();
    const auto* calibrated =
        dynamic_cast<const AudioSampler::CorManCorrection*>(scene.correction.get());
    if (calibrated == nullptr || !calibrated->Manager()) {
        state.SkipWithError("no microphone correction");
        return;
    }
    const std::vector<double> block(scene.captures[0].begin(),
                                    scene.captures[0].begin() + kQuickBlockSamples);
    const bench::SingleCore core;
    for (auto _ : state) {
        const CurvePtr curve = AnalyseQuickBlock(block, calibrated->Manager().get());
        if (!curve)
            state.SkipWithError("no curve");
        benchmark::DoNotOptimize(curve.get());
    }
}
BENCHMARK(BM_QuickAnalysis)->Unit(benchmark::kMillisecond)->Apply(bench::Repeated<9>);

}  // namespace
