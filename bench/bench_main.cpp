// The benchmarks run under the programs' heap policy, so allocations cost what they cost there.

#include <benchmark/benchmark.h>

#include "threading/HeapPolicy.h"

int main(int argc, char** argv) {
    Threading::KeepFreedMemoryForReuse();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
