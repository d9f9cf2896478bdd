// Correction benchmarks. Each benchmark registers itself; add new ones below the existing
// sections.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "../tests/correction/fit_corpus.h"
#include "../tests/correction/fit_support.h"
#include "../tests/correction/target_test_synth.h"
#include "bench_util.h"
#include "document/DocData.h"
#include "sim_scene.h"
#include "wizard/CalculateFit.h"
#include "wizard/PositionEffects.h"

namespace {

// ---- Equaliser fit ---------------------------------------------------------------------------

// Five smoothed positions of one room: a 20 Hz high-pass, a 200 Hz crossover, modes and dips
// that move a little from position to position.
void FiveMeasurements(DocData& doc) {
    using namespace fittest;
    const Room base{20.0, false, 200.0, {{42, 9, 6}, {68, 6, 8}, {55, -8, 5}, {110, 5, 4}}, 0.0};
    doc.Reset();
    doc.modelId = 0x114;
    for (int pos = 0; pos < 5; ++pos) {
        Room room = base;
        for (RoomMode& m : room.modes) {
            m.gainDb *= 0.7 + 0.15 * pos;
            m.f0 *= 1.0 + 0.02 * (pos - 2);
        }
        doc.measurements.push_back(Measurement(room));
    }
}

// The Calculate step's work: target with crossover and high-pass detection, then the fit.
void BM_BuildTargetAndFit(benchmark::State& state) {
    const bench::SingleCore core;
    DocData doc;
    for (auto _ : state) {
        state.PauseTiming();
        FiveMeasurements(doc);
        state.ResumeTiming();
        double level = 0.0;
        BuildTarget(doc, 1, level);
        FitEqualizer(doc, level);
        benchmark::DoNotOptimize(doc.eq);
    }
}
BENCHMARK(BM_BuildTargetAndFit)->Unit(benchmark::kMillisecond)->Apply(bench::Repeated<9>);

// The detection part alone.
void BM_BuildTargetDetect(benchmark::State& state) {
    const bench::SingleCore core;
    DocData doc;
    for (auto _ : state) {
        state.PauseTiming();
        FiveMeasurements(doc);
        state.ResumeTiming();
        double level = 0.0;
        BuildTarget(doc, 1, level);
        benchmark::DoNotOptimize(level);
    }
}
BENCHMARK(BM_BuildTargetDetect)->Unit(benchmark::kMillisecond)->Apply(bench::Repeated<9>);

// The fit alone, from the same averaged measurement and target.
void BM_FitEqualizer(benchmark::State& state) {
    const bench::SingleCore core;
    DocData doc;
    FiveMeasurements(doc);
    double level = 0.0;
    BuildTarget(doc, 1, level);
    const CurvePtr averaged = doc.results[0];
    const CurvePtr target = doc.results[1];
    for (auto _ : state) {
        state.PauseTiming();
        doc.results = {Clone(*averaged), Clone(*target)};
        state.ResumeTiming();
        FitEqualizer(doc, level);
        benchmark::DoNotOptimize(doc.eq);
    }
}
BENCHMARK(BM_FitEqualizer)->Unit(benchmark::kMillisecond)->Apply(bench::Repeated<9>);

// The fit method of a benchmark's argument: 0 classic, 1 refined.
FitMethod MethodOf(int64_t arg) {
    return arg == 0 ? FitMethod::Classic : FitMethod::Refined;
}

// The Calculate step, timed, on copies of the measurements: target with crossover detection,
// then the fit.
void CalculateEach(benchmark::State& state, const std::vector<CurvePtr>& measurements,
                   uint16_t modelId, FitMethod method, const HouseSettings& house = {}) {
    const bench::SingleCore core;
    DocData doc;
    for (auto _ : state) {
        state.PauseTiming();
        doc.Reset();
        doc.modelId = modelId;
        doc.fitMethod = method;
        doc.house = house;
        for (const CurvePtr& m : measurements)
            doc.measurements.push_back(Clone(*m));
        state.ResumeTiming();
        double level = 0.0;
        BuildTarget(doc, 1, level);
        FitEqualizer(doc, level);
        benchmark::DoNotOptimize(doc.eq);
    }
}

// The Calculate step on the simulator's built-in room: five measured positions; the classic
// fit (0) or the refined one (1).
void BM_BuildTargetAndFitSimulatedRoom(benchmark::State& state) {
    const bench::SimScene& scene = bench::SimScene::Get();
    CalculateEach(state, scene.measurements, scene.modelId, MethodOf(state.range(0)));
}
BENCHMARK(BM_BuildTargetAndFitSimulatedRoom)
    ->ArgName("refined")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeated<9>);

// A +6 dB shelf at 50 Hz and a ten-point house curve file.
HouseSettings BenchHouseCurve() {
    HouseSettings house;
    house.shelfDb = 6.0;
    house.shelfHz = 50.0;
    house.file = HouseCurveFile{L"bench.txt",
                                {{10, 3},
                                 {20, 3},
                                 {31.5, 2.5},
                                 {40, 2},
                                 {63, 1},
                                 {80, 0.5},
                                 {125, 0},
                                 {250, -0.5},
                                 {500, -1},
                                 {20000, -1}}};
    return house;
}

// The same without (0) and with (1) that house curve; the refined fit.
void BM_BuildTargetAndFitHouseCurve(benchmark::State& state) {
    const bench::SimScene& scene = bench::SimScene::Get();
    CalculateEach(state, scene.measurements, scene.modelId, FitMethod::Refined,
                  state.range(0) == 1 ? BenchHouseCurve() : HouseSettings{});
}
BENCHMARK(BM_BuildTargetAndFitHouseCurve)
    ->ArgName("house")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeated<9>);

// The shaping alone: that house curve applied to a curve on the simulator's measured axis (the
// copy that restores it included).
void BM_ApplyHouseCurve(benchmark::State& state) {
    const bench::SimScene& scene = bench::SimScene::Get();
    const HouseSettings house = BenchHouseCurve();
    const CurvePtr measured = Clone(*scene.measurements.front());
    ToMagPhase(*measured);
    CCurve target = *measured;
    for (auto _ : state) {
        CopyInto(*measured, target);
        ApplyHouseCurve(target, house, 200.0);
        benchmark::DoNotOptimize(target.First());
    }
    state.counters["points"] = target.Count();
}
BENCHMARK(BM_ApplyHouseCurve)->Unit(benchmark::kMicrosecond);

// The same on each room of the fit tests' seeded corpus (first argument), classic or refined.
void BM_BuildTargetAndFitCorpus(benchmark::State& state) {
    const std::vector<fittest::CorpusRoom> corpus = fittest::FitCorpus();
    const fittest::CorpusRoom& room = corpus.at(static_cast<size_t>(state.range(0)));
    CalculateEach(state, fittest::CorpusMeasurements(room), fittest::kCorpusModel,
                  MethodOf(state.range(1)));
}
BENCHMARK(BM_BuildTargetAndFitCorpus)
    ->ArgNames({"room", "refined"})
    ->ArgsProduct({benchmark::CreateDenseRange(0, 15, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeated<3>);

// What the equaliser does at each of the simulator room's five positions, after its Calculate
// (refined fit): the five held-out fits on one thread (1) or split over two (2), wall time.
void BM_PositionEffectsSimulatedRoom(benchmark::State& state) {
    const bench::SimScene& scene = bench::SimScene::Get();
    DocData doc;
    doc.modelId = scene.modelId;
    for (const CurvePtr& m : scene.measurements)
        doc.measurements.push_back(Clone(*m));
    double level = 0.0;
    BuildTarget(doc, 1, level);
    FitEqualizer(doc, level);
    const int threads = omp_get_max_threads();
    omp_set_num_threads(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(EvaluatePositionEffects(doc));
    omp_set_num_threads(threads);
}
BENCHMARK(BM_PositionEffectsSimulatedRoom)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeated<5>);

}  // namespace

// ---- Target detection ------------------------------------------------------------------------

namespace {

// The high-pass grid search on one smoothed measurement (state.range(0) = 0) or on a raw
// linear 2049-point response (1).
void BM_DetectHighPass(benchmark::State& state) {
    const bench::SingleCore core;
    std::vector<double> axis = target_test::LogAxis();
    if (state.range(0) == 1) {
        axis.clear();
        for (int i = 0; i < 2049; ++i)
            axis.push_back(i * 48000.0 / 16384.0);
    }
    const CurvePtr m = target_test::Measure(
        target_test::SubModel{.hpCorner = 25.0, .room = target_test::TypicalRoom()}, axis);
    for (auto _ : state) {
        CSubwooferTarget target(20, 20, SLOPE_AUTO);
        target.SetCrossover(200);
        TargetCurveList list{m};
        target.DetectHighPass(list);
        benchmark::DoNotOptimize(target.highPassCorner);
    }
}
BENCHMARK(BM_DetectHighPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
