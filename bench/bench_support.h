// What the benchmarks share: callbacks for the engine's test panel, and the program run on a
// live simulated bench.
#pragma once

#include <QTimer>
#include <functional>

#include "engine/dispatch.h"
#include "engine/loader.h"
#include "engine/ports/simulated_converter.h"
#include "engine/registry.h"
#include "engine/test_interface.h"
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

// Runs the program on the simulated bench in real time; the script runs inside its event loop
// and ends the program.
inline void RunProgramOnBench(const std::function<void(engine::SimulatedConverter&)>& script) {
    engine::SteadyClock clock;
    engine::SimulatedConverter bench(clock);
    engine::UsePortBackend(&bench);
    engine::testing::ResetEngine(zelmor::callbacks);
    engine::SetResourceFolder(ZELMOR_RESOURCES_DIR);
    QTimer::singleShot(0, [&] { script(bench); });
    char name[] = "zelmor";
    char* args[] = {name, nullptr};
    zelmor::main(1, args);
    engine::DiscardAllPanels();
    engine::UsePortBackend(nullptr);
}

}  // namespace support
