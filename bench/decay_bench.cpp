// The decay analysis of a document (every stored impulse: measured, predicted through the
// equaliser, verified), one core.

#include <benchmark/benchmark.h>

#include "bench_util.h"
#include "decay_doc.h"
#include "export/DecayModel.h"

namespace {

void BM_DecayAnalysis(benchmark::State& state) {
    const bench::SingleCore core;
    DocData doc;
    bench::FillDecayDocument(doc);
    for (auto _ : state) {
        const Exporting::DecayAnalysis analysis = Exporting::AnalyseDecay(doc);
        benchmark::DoNotOptimize(&analysis);
    }
}
BENCHMARK(BM_DecayAnalysis)->Unit(benchmark::kMillisecond)->Apply(bench::Repeated<9>);

}  // namespace
