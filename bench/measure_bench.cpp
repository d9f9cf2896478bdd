// Measurement benchmarks. Each benchmark registers itself; add new ones below the existing
// sections.

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "measure/Curve.h"
#include "measure/Impulse.h"
#include "measure/Transform.h"

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

// Seconds per forward transform, measured outside the benchmark loop for the ratio counter.
template <typename F>
double SecondsPerCall(F&& call) {
    const auto start = std::chrono::steady_clock::now();
    int calls = 0;
    double elapsed = 0;
    do {
        call();
        ++calls;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (elapsed < 0.1);
    return elapsed / calls;
}

// ---------------------------------------------------------------------------------------------
// TransformInPlace

#ifdef TESSALINE_HAVE_FFTW
// An FFTW plan for a complex transform out of two separate arrays (split format).
struct FftwSplit {
    explicit FftwSplit(int n)
        : re(fftw_alloc_real(n)),
          im(fftw_alloc_real(n)),
          outRe(fftw_alloc_real(n)),
          outIm(fftw_alloc_real(n)) {
        fftw_iodim dim{n, 1, 1};
        plan = fftw_plan_guru_split_dft(1, &dim, 0, nullptr, re, im, outRe, outIm, FFTW_MEASURE);
        std::vector<double> r, i;
        RandomArrays(n, r, i);
        std::copy(r.begin(), r.end(), re);
        std::copy(i.begin(), i.end(), im);
    }
    ~FftwSplit() {
        fftw_destroy_plan(plan);
        fftw_free(re);
        fftw_free(im);
        fftw_free(outRe);
        fftw_free(outIm);
    }
    void Run() { fftw_execute_split_dft(plan, re, im, outRe, outIm); }

    double* re;
    double* im;
    double* outRe;
    double* outIm;
    fftw_plan plan;
};
#endif

void BM_TransformInPlace(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<double> re, im;
    RandomArrays(n, re, im);
    TransformInPlace(fft::kForward, n, re.data(), im.data());  // grows the twiddle table
    for (auto _ : state) {
        TransformInPlace(fft::kForward, n, re.data(), im.data());
        benchmark::DoNotOptimize(re.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
#ifdef TESSALINE_HAVE_FFTW
    // Ours against FFTW's measured plan at the same size; below 2 is the target.
    FftwSplit fftw(n);
    const double theirs = SecondsPerCall([&] { fftw.Run(); });
    const double ours =
        SecondsPerCall([&] { TransformInPlace(fft::kForward, n, re.data(), im.data()); });
    state.counters["vs_fftw"] = ours / theirs;
#endif
}
BENCHMARK(BM_TransformInPlace)->Arg(16384)->Arg(32768)->Arg(65536)->Unit(benchmark::kMicrosecond);

#ifdef TESSALINE_HAVE_FFTW
void BM_FftwSplitMeasure(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    FftwSplit fftw(n);
    for (auto _ : state) {
        fftw.Run();
        benchmark::DoNotOptimize(fftw.outRe);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FftwSplitMeasure)->Arg(16384)->Arg(32768)->Arg(65536)->Unit(benchmark::kMicrosecond);
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
    const CCurve input = SmoothInput();
    for (auto _ : state) {
        state.PauseTiming();
        CCurve c(input);
        state.ResumeTiming();
        Smooth(c, 6, 25, 5, 48000, 1);
        benchmark::DoNotOptimize(c.First());
    }
}
BENCHMARK(BM_Smooth)->Unit(benchmark::kMicrosecond);

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
BENCHMARK(BM_MeasureResponse)->Unit(benchmark::kMillisecond);

}  // namespace
