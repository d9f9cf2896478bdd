// The whole simulated 5-position Measure chain (measure, calculate, upload) in accelerated time,
// run through tessaline-cli as a user would. Reports the child's CPU seconds beside wall time.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void BM_SimulatedRunFivePositions(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tessaline-bench";
    std::filesystem::create_directories(dir);
    const std::string command = std::string(TESSALINE_CLI_PATH) +
                                " run --simulate --yes --positions 5 --out '" +
                                (dir / "run.ktsl").string() + "' >/dev/null 2>&1";
    const double cpuBefore = ChildCpuSeconds();
    int failures = 0;
    for (auto _ : state)
        failures += std::system(command.c_str()) != 0 ? 1 : 0;
    state.counters["child_cpu_s"] =
        benchmark::Counter(ChildCpuSeconds() - cpuBefore, benchmark::Counter::kAvgIterations);
    if (failures != 0)
        state.SkipWithError("tessaline-cli run failed");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SimulatedRunFivePositions)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
