// One eight-channel scan through the converter link: on the simulated bench, and through the
// ppdev back end when run under the test-only fake kernel, which puts the same simulated
// converter behind /dev/parport0:
//   LD_PRELOAD=build/tests/libzelmor_fake_kernel.so ZELMOR_FAKE_PORTS=0:0x378
//   build/bench/scan_bench
// The difference is what our back end adds per access above a system call.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "engine/ports/ppdev.h"
#include "engine/ports/simulated_converter.h"
#include "link/basicIO.h"

static void BM_ScanOnSimulatedConverter(benchmark::State& state) {
    engine::SteadyClock clock;
    engine::SimulatedConverter bench(clock);
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
BENCHMARK(BM_ScanOnSimulatedConverter);

static void BM_ScanThroughPpdev(benchmark::State& state) {
    if (!dlsym(RTLD_DEFAULT, "zelmor_fake_kernel_log")) {
        state.SkipWithError("no fake kernel preloaded: see the comment at the top");
        return;
    }
    std::string error;
    auto& sys = engine::RealSystemCalls();
    const auto kernel = engine::ListKernelPorts();
    auto ports = engine::PpdevPorts::Open(sys, "/dev", kernel,
                                          engine::ReadPortTable(sys, "/dev/mem", kernel), error);
    if (!ports) {
        state.SkipWithError(error.c_str());
        return;
    }
    engine::UsePortBackend(ports.get());
    inizializeBus(ports->table().words[0]);  // claims the port, and times its ceiling
    double sum = 0;
    for (auto _ : state) {
        for (unsigned char ch = 0; ch < 8; ++ch) sum += getVolt(ch);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["scans_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["status_line_ceiling"] = ports->scanCeiling();
    engine::UsePortBackend(nullptr);
}
BENCHMARK(BM_ScanThroughPpdev);

// One real system call, for scale: an ioctl the kernel turns down at once. A ppdev access on
// real hardware costs at least this plus the port's own bus cycle (about 1 us on ISA/LPC).
static void BM_OneSystemCall(benchmark::State& state) {
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    unsigned char status = 0;
    for (auto _ : state) benchmark::DoNotOptimize(ioctl(fd, PPRSTATUS, &status));
    close(fd);
}
BENCHMARK(BM_OneSystemCall);

// The ceiling the status line shows for the simulated converter's back end, timed the same way.
static void BM_CeilingOnSimulatedConverter(benchmark::State& state) {
    engine::SteadyClock clock;
    engine::SimulatedConverter bench(clock);
    double ceiling = 0;
    for (auto _ : state) ceiling = engine::ScanCeiling(bench, 0x379);
    state.counters["status_line_ceiling"] = ceiling;
}
BENCHMARK(BM_CeilingOnSimulatedConverter)->Iterations(20);

BENCHMARK_MAIN();
