// What the benchmarks share: callbacks for the engine's test panel, the program run on the
// simulated converter in real time, and what a stretch of it costs (CPU, resident memory).
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <functional>

#include "engine/panels/dispatch.h"
#include "engine/panels/loader.h"
#include "engine/panels/registry.h"
#include "engine/panels/test_interface.h"
#include "engine/ports/simulated_converter.h"
#include "support/program_on_simulator.h"
#include "ui/zelmor.h"

namespace support {

inline long ticks = 0;

inline int CountTick(int, int, int, void*, int, int) {
    ++ticks;
    return 0;
}
inline int Nothing(int, int, int, void*, int, int) {
    return 0;
}
inline int NothingPanel(int, int, void*, int, int) {
    return 0;
}
inline void NoCommand() {}

// For tests/engine/panels/good.uir, whose timer is control 9.
inline const engine::CallbackTable kTestPanelCallbacks = {
    {"TickCb", CountTick}, {"CtrlCb", Nothing}, {"PanelCb", NothingPanel}, {"MenuCb", NoCommand}};
constexpr int kTestPanelTimer = 9;

// Runs the program on the simulated converter in real time; the script runs inside its event
// loop and ends the program.
inline void RunProgramOnSimulator(const std::function<void(engine::SimulatedConverter&)>& script) {
    engine::SteadyClock clock;
    ProgramOnSimulator program(clock);
    program.run([&] { script(program.converter); }, ProgramOnSimulator::Ending::byScript);
}

// Runs the event loop for `seconds` of real time.
inline void runFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU seconds of the whole process, user and system.
inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Resident memory of the process.
inline long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Runs the event loop for `seconds`: what it cost and what the converter did meanwhile.
struct Measured {
    double elapsed, cpu, scansPerSecond;
};
inline Measured measureFor(double seconds, const engine::SimulatedConverter& converter) {
    const double cpu0 = cpuSeconds();
    const auto conv0 = converter.conversions();
    const auto t0 = std::chrono::steady_clock::now();
    runFor(seconds);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return {elapsed, 100 * (cpuSeconds() - cpu0) / elapsed,
            (converter.conversions() - conv0) / 8.0 / elapsed};
}

}  // namespace support
