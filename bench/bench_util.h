#pragma once
// Shared benchmark helpers: thread CPU time, one-core runs of the numeric code and the
// repetitions every benchmark reports (median and min beside the mean).

#include <benchmark/benchmark.h>
#include <omp.h>

#include <algorithm>
#include <ctime>
#include <vector>

namespace bench {

inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The numeric figures are per core: parallel loops run on the calling thread only while one of
// these lives, so the thread CPU time the benchmark reports is the whole work.
class SingleCore {
public:
    SingleCore() : previous_(omp_get_max_threads()) { omp_set_num_threads(1); }
    ~SingleCore() { omp_set_num_threads(previous_); }
    SingleCore(const SingleCore&) = delete;
    SingleCore& operator=(const SingleCore&) = delete;

private:
    int previous_;
};

inline double Min(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

// N repetitions reported as mean, median, min, stddev and cv.
template <int N>
void Repeated(benchmark::internal::Benchmark* b) {
    b->Repetitions(N)->ReportAggregatesOnly(true)->ComputeStatistics("min", Min);
}

}  // namespace bench
