// What the benchmarks share: callbacks for the engine's test panel, and the program run on the
// simulated converter in real time.
#pragma once

#include <QTimer>
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

}  // namespace support
