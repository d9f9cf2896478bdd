// The whole simulated 5-position Measure chain (measure, calculate, upload) in accelerated time,
// run through tessaline-cli as a user would, with 1 or 2 OpenMP threads, on an idle machine or
// under load (two busy threads of this process, one per core). The child's environment leaves
// OMP_WAIT_POLICY unset, so the program's own wait policy is what is measured. Reports the
// child's CPU seconds beside wall time. TESSALINE_CLI names another build of the program to run.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"

namespace {

double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Busy threads standing in for the other work of a shared machine.
class Load {
public:
    explicit Load(int threads) {
        for (int i = 0; i < threads; ++i)
            workers_.emplace_back([this] {
                volatile unsigned long spin = 0;
                while (!stop_.load(std::memory_order_relaxed))
                    spin = spin + 1;
            });
    }
    ~Load() {
        stop_ = true;
        for (std::thread& t : workers_)
            t.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> workers_;
};

// state.range(0): OpenMP threads of the child; state.range(1): 1 with the machine under load.
void BM_SimulatedRunFivePositions(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tessaline-bench";
    std::filesystem::create_directories(dir);
    const std::string command =
        "env -u OMP_WAIT_POLICY OMP_NUM_THREADS=" + std::to_string(state.range(0)) + " " +
        std::string(TESSALINE_CLI_PATH) + " run --simulate --yes --positions 5 --out '" +
        (dir / "run.ktsl").string() + "' >/dev/null 2>&1";
    const Load load(state.range(1) != 0 ? 2 : 0);
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
BENCHMARK(BM_SimulatedRunFivePositions)
    ->ArgNames({"threads", "load"})
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Apply(bench::Repeated<5>);

}  // namespace
