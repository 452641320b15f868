// What the chart's converter-aware tools cost: the level trigger's check on every scan, and
// the code statistics of a full history of one trace.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine/chart/code_statistics.h"
#include "engine/chart/level_trigger.h"

namespace {

constexpr int kTraces = 8;
constexpr double kResolution = 2.5 / 4096;

// `scans` scans of eight traces at 1000 scans/s: a 13 Hz sine over most of the range on each,
// each trace its own phase, with a few steps of seeded noise, as the chart keeps them.
std::vector<std::int16_t> NoisySines(int scans) {
    std::mt19937 random(22);
    std::normal_distribution<double> noise(0, 2);
    std::vector<std::int16_t> codes(static_cast<std::size_t>(scans) * kTraces);
    for (int i = 0; i < scans; ++i)
        for (int t = 0; t < kTraces; ++t) {
            const double phase = 2 * M_PI * (13.0 * i / 1000 + t / 8.0);
            codes[static_cast<std::size_t>(i) * kTraces + t] = static_cast<std::int16_t>(
                std::lround(2048 + 1800 * std::sin(phase) + noise(random)));
        }
    return codes;
}

// One scan through a trigger in normal mode, firing on each rise through mid-range.
void BM_LevelTriggerFeed(benchmark::State& state) {
    constexpr int kScans = 1 << 16;
    const auto codes = NoisySines(kScans);
    engine::LevelTrigger trigger;
    trigger.configure({2, engine::TriggerEdge::rising, 1.25, 0.5, engine::TriggerMode::normal},
                      engine::DefaultChannel(2), kResolution);
    long i = 0, fired = 0;
    for (auto _ : state) {
        fired += trigger.feed(&codes[static_cast<std::size_t>(i & (kScans - 1)) * kTraces]);
        ++i;
    }
    benchmark::DoNotOptimize(fired);
    state.counters["firings"] = static_cast<double>(fired);
}
BENCHMARK(BM_LevelTriggerFeed);

// The statistics of one trace over 600,000 scans: the chart's whole history at 1000 scans/s.
void BM_CodeStatisticsOfAFullHistory(benchmark::State& state) {
    constexpr long kScans = 600'000;
    const auto codes = NoisySines(kScans);
    for (auto _ : state) {
        const auto s = engine::CodeStatisticsOf(codes.data() + 3, kScans, kTraces);
        benchmark::DoNotOptimize(s.deviation);
    }
}
BENCHMARK(BM_CodeStatisticsOfAFullHistory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
