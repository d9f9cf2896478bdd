// Measurement benchmarks, one core each (see bench_util.h). Each benchmark registers itself;
// add new ones below the existing sections.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "bench_util.h"
#include "measure/CorrectionManager.h"
#include "measure/Curve.h"
#include "measure/Decay.h"
#include "measure/Impulse.h"
#include "measure/Transform.h"
#include "sim_scene.h"

#ifdef TESSALINE_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

void RandomArrays(int n, std::vector<double>& re, std::vector<double>& im) {
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    re.resize(n);
    im.resize(n);
    for (int i = 0; i < n; ++i) {
        re[i] = d(gen);
        im[i] = d(gen);
    }
}

// ---------------------------------------------------------------------------------------------
// TransformInPlace against FFTW, both timed in this process by thread CPU time.

// Arrays on a 64-byte boundary, as FFTW's own allocator and the curve transforms give them.
struct AlignedArray {
    explicit AlignedArray(int n)
        : data(static_cast<double*>(std::aligned_alloc(64, sizeof(double) * n))) {}
    ~AlignedArray() { std::free(data); }
    AlignedArray(const AlignedArray&) = delete;
    AlignedArray& operator=(const AlignedArray&) = delete;
    double* data;
};

// Rounds of alternating batches; per round the ratio of our time to theirs. Returns the median
// ratio and the ratio of the fastest batches.
template <typename Ours, typename Theirs>
std::pair<double, double> CompareCpu(Ours&& ours, Theirs&& theirs, int callsPerBatch) {
    constexpr int kRounds = 15;
    std::vector<double> ratios, mine, other;
    auto batch = [&](auto& call) {
        const double start = bench::ThreadCpuSeconds();
        for (int i = 0; i < callsPerBatch; ++i)
            call();
        return bench::ThreadCpuSeconds() - start;
    };
    for (int r = 0; r < kRounds; ++r) {
        double a, b;
        if (r % 2 == 0) {
            a = batch(ours);
            b = batch(theirs);
        } else {
            b = batch(theirs);
            a = batch(ours);
        }
        mine.push_back(a);
        other.push_back(b);
        ratios.push_back(a / b);
    }
    std::sort(ratios.begin(), ratios.end());
    return {ratios[kRounds / 2], *std::min_element(mine.begin(), mine.end()) /
                                     *std::min_element(other.begin(), other.end())};
}

#ifdef TESSALINE_HAVE_FFTW
// An FFTW plan for a complex transform out of two separate arrays (split format), MEASURE.
struct FftwSplit {
    explicit FftwSplit(int n) : re(n), im(n), outRe(n), outIm(n) {
        fftw_iodim dim{n, 1, 1};
        plan = fftw_plan_guru_split_dft(1, &dim, 0, nullptr, re.data, im.data, outRe.data,
                                        outIm.data, FFTW_MEASURE);
        std::vector<double> r, i;
        RandomArrays(n, r, i);
        std::copy(r.begin(), r.end(), re.data);
        std::copy(i.begin(), i.end(), im.data);
    }
    ~FftwSplit() { fftw_destroy_plan(plan); }
    void Run() { fftw_execute_split_dft(plan, re.data, im.data, outRe.data, outIm.data); }

    AlignedArray re, im, outRe, outIm;
    fftw_plan plan;
};

// FFTW's best plan for interleaved complex data (PATIENT, out of place). Planning takes seconds,
// so one plan per size serves the whole process.
struct FftwInterleaved {
    explicit FftwInterleaved(int n)
        : in(fftw_alloc_complex(static_cast<std::size_t>(n))),
          out(fftw_alloc_complex(static_cast<std::size_t>(n))) {
        plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_PATIENT);
        std::vector<double> r, i;
        RandomArrays(n, r, i);
        for (int k = 0; k < n; ++k) {
            in[k][0] = r[static_cast<std::size_t>(k)];
            in[k][1] = i[static_cast<std::size_t>(k)];
        }
    }
    void Run() { fftw_execute(plan); }

    static FftwInterleaved& Get(int n) {
        static std::map<int, std::unique_ptr<FftwInterleaved>> plans;
        auto& p = plans[n];
        if (!p)
            p = std::make_unique<FftwInterleaved>(n);
        return *p;
    }

    fftw_complex* in;
    fftw_complex* out;
    fftw_plan plan;
};
#endif

void BM_TransformInPlace(benchmark::State& state) {
    const bench::SingleCore core;
    const int n = static_cast<int>(state.range(0));
    std::vector<double> r, i;
    RandomArrays(n, r, i);
    AlignedArray re(n), im(n);
    std::copy(r.begin(), r.end(), re.data);
    std::copy(i.begin(), i.end(), im.data);
    // Forward transforms; the input comes back every 64 calls, long before values overflow.
    auto ours = [&, calls = 0]() mutable {
        if (++calls % 64 == 0) {
            std::copy(r.begin(), r.end(), re.data);
            std::copy(i.begin(), i.end(), im.data);
        }
        TransformInPlace(fft::kForward, n, re.data, im.data);
    };
    ours();  // grows the twiddle table
    for (auto _ : state) {
        ours();
        benchmark::DoNotOptimize(re.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
#ifdef TESSALINE_HAVE_FFTW
    const int calls = std::max(1, (1 << 21) / n);
    FftwSplit split(n);
    const auto [splitMedian, splitBest] = CompareCpu(
        ours, [&] { split.Run(); }, calls);
    FftwInterleaved& interleaved = FftwInterleaved::Get(n);
    const auto [patientMedian, patientBest] = CompareCpu(
        ours, [&] { interleaved.Run(); }, calls);
    state.counters["vs_split_measure"] = splitMedian;
    state.counters["vs_split_measure_min"] = splitBest;
    state.counters["vs_patient"] = patientMedian;
    state.counters["vs_patient_min"] = patientBest;
#endif
}
BENCHMARK(BM_TransformInPlace)
    ->Arg(16384)
    ->Arg(32768)
    ->Arg(65536)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(bench::Repeated<5>);

#ifdef TESSALINE_HAVE_FFTW
void BM_FftwSplitMeasure(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    FftwSplit fftw(n);
    for (auto _ : state) {
        fftw.Run();
        benchmark::DoNotOptimize(fftw.outRe.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FftwSplitMeasure)
    ->Arg(16384)
    ->Arg(32768)
    ->Arg(65536)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(bench::Repeated<5>);

void BM_FftwInterleavedPatient(benchmark::State& state) {
    FftwInterleaved& fftw = FftwInterleaved::Get(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        fftw.Run();
        benchmark::DoNotOptimize(fftw.out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FftwInterleavedPatient)
    ->Arg(16384)
    ->Arg(32768)
    ->Arg(65536)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(bench::Repeated<5>);
#endif

// ---------------------------------------------------------------------------------------------
// Smooth

// An 8193-point response from 0 to 24 kHz: a second-order high-pass at 30 Hz with ripple.
CCurve SmoothInput() {
    const int n = 8193;
    CCurve c(n, AxisKind::Frequency, DataFormat::MagPhase);
    for (int k = 0; k < n; ++k) {
        const double f = k * 24000.0 / (n - 1);
        const double r = f / 30.0;
        c.X()[k] = f;
        c.First()[k] = r * r / std::sqrt((1 - r * r) * (1 - r * r) + 2 * r * r) *
                       (1.0 + 0.3 * std::sin(f / 37.0));
        c.Second()[k] = -f * 2e-3;
    }
    return c;
}

void BM_Smooth(benchmark::State& state) {
    const bench::SingleCore core;
    const CCurve input = SmoothInput();
    for (auto _ : state) {
        state.PauseTiming();
        CCurve c(input);
        state.ResumeTiming();
        Smooth(c, 6, 25, 5, 48000, 1);
        benchmark::DoNotOptimize(c.First());
    }
}
BENCHMARK(BM_Smooth)->Unit(benchmark::kMicrosecond)->Apply(bench::Repeated<15>);

}  // namespace

// ---------------------------------------------------------------------------------------------
// MeasureResponse

namespace {

// Three periods of the test sweep through a resonant room with a little noise.
std::vector<double> SweepCapture() {
    const CurvePtr sweep = SweepReference(kSweepLength, kSweepRate);
    std::vector<double> x(3 * static_cast<std::size_t>(kSweepLength));
    std::mt19937 gen(3);
    std::normal_distribution<double> noise(0.0, 1e-3);
    // A 50 Hz resonance (pole radius 0.999), run over one period first to settle.
    const double w = 2 * std::numbers::pi * 50.0 / kSweepRate;
    const double a1 = -2 * 0.999 * std::cos(w), a2 = 0.999 * 0.999;
    double y1 = 0, y2 = 0;
    for (int pass = 0; pass < 4; ++pass)
        for (int i = 0; i < kSweepLength; ++i) {
            const double y = 0.01 * sweep->First()[i] - a1 * y1 - a2 * y2;
            y2 = y1;
            y1 = y;
            if (pass > 0)
                x[static_cast<std::size_t>((pass - 1) * kSweepLength + i)] = y + noise(gen);
        }
    return x;
}

void BM_MeasureResponse(benchmark::State& state) {
    const bench::SingleCore core;
    const std::vector<double> capture = SweepCapture();
    const auto correction = std::make_shared<AudioSampler::NoMicrophoneCorrection>(
        Fft(*SweepReference(kSweepLength, kSweepRate)));
    for (auto _ : state) {
        state.PauseTiming();
        ImpulseContext context;
        context.correction = correction;
        context.smoothing = kMeasurementSmoothing;
        context.capture = std::make_shared<CaptureBlock>();
        context.capture->samples = capture;
        context.capture->capturedCount = static_cast<std::int32_t>(capture.size());
        context.capture->subwooferMode = true;
        state.ResumeTiming();
        const CurvePtr response = MeasureResponse(context);
        benchmark::DoNotOptimize(response.get());
    }
}
BENCHMARK(BM_MeasureResponse)->Unit(benchmark::kMillisecond)->Apply(bench::Repeated<9>);

// A capture of the simulator's built-in room, corrected by the simulated microphone's
// calibration file, as the Measure step analyses it.
void BM_MeasureResponseCalibrated(benchmark::State& state) {
    const bench::SimScene& scene = bench::SimScene::Get();
    const bench::SingleCore core;
    for (auto _ : state) {
        state.PauseTiming();
        ImpulseContext context = scene.Context(0);
        state.ResumeTiming();
        const CurvePtr response = MeasureResponse(context);
        benchmark::DoNotOptimize(response.get());
    }
}
BENCHMARK(BM_MeasureResponseCalibrated)->Unit(benchmark::kMillisecond)->Apply(bench::Repeated<9>);

// The same, also keeping the first period's impulse at the equaliser's rate, as the Measure
// step does: within 10 % of BM_MeasureResponseCalibrated.
void BM_MeasureResponseCalibratedKeepingImpulse(benchmark::State& state) {
    const bench::SimScene& scene = bench::SimScene::Get();
    const bench::SingleCore core;
    std::vector<float> impulse;
    for (auto _ : state) {
        state.PauseTiming();
        ImpulseContext context = scene.Context(0);
        context.impulse = &impulse;
        state.ResumeTiming();
        const CurvePtr response = MeasureResponse(context);
        benchmark::DoNotOptimize(response.get());
        benchmark::DoNotOptimize(impulse.data());
    }
}
BENCHMARK(BM_MeasureResponseCalibratedKeepingImpulse)
    ->Unit(benchmark::kMillisecond)
    ->Apply(bench::Repeated<9>);

// What keeping the impulse adds: one period decimated to the equaliser's rate.
void BM_DecimateImpulse(benchmark::State& state) {
    std::vector<double> period(kSweepLength);
    std::mt19937 gen(4);
    std::normal_distribution<double> noise(0.0, 1.0);
    for (double& v : period)
        v = noise(gen);
    for (auto _ : state) {
        const std::vector<float> impulse = Decay::DecimateImpulse(period.data(), kSweepLength);
        benchmark::DoNotOptimize(impulse.data());
    }
}
BENCHMARK(BM_DecimateImpulse)->Unit(benchmark::kMicrosecond)->Apply(bench::Repeated<9>);

}  // namespace
