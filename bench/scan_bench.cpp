// One eight-channel scan through the converter link on the simulated bench.
#include <benchmark/benchmark.h>

#include "engine/simulated_bench.h"
#include "link/basicIO.h"

static void BM_ScanOnSimulatedBench(benchmark::State& state) {
    engine::SteadyClock clock;
    engine::SimulatedBench bench(clock);
    engine::UsePortBackend(&bench);
    inizializeBus(0x378);
    const auto before = bench.writes() + bench.reads();
    double sum = 0;
    for (auto _ : state) {
        for (unsigned char ch = 0; ch < 8; ++ch) sum += getVolt(ch);
        benchmark::DoNotOptimize(sum);
    }
    const double accesses = static_cast<double>(bench.writes() + bench.reads() - before);
    const double scans = static_cast<double>(state.iterations());
    state.counters["accesses_per_scan"] = accesses / scans;
    state.counters["ns_per_access"] =
        benchmark::Counter(accesses, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // The most scans per second this back end allows, the link's own cost included.
    state.counters["scans_per_s"] = benchmark::Counter(scans, benchmark::Counter::kIsRate);
    engine::UsePortBackend(nullptr);
}
BENCHMARK(BM_ScanOnSimulatedBench);

BENCHMARK_MAIN();
