// The program on the simulated converter, as tests, benchmarks and the screenshot tool run it:
// a clean engine with the program's callbacks and panels, the converter as the port back end,
// its status line, and the program's globals as at start.
#pragma once

#include <QTimer>
#include <functional>

#include "engine/panels/dispatch.h"
#include "engine/panels/loader.h"
#include "engine/panels/registry.h"
#include "engine/panels/test_interface.h"
#include "engine/ports/simulated_converter.h"
#include "link/basicIO.h"
#include "ui/zelmor.h"

class ProgramOnSimulator {
  public:
    explicit ProgramOnSimulator(engine::Clock& clock) : converter(clock) {
        engine::testing::ResetEngine(zelmor::callbacks);
        engine::SetResourceFolder(ZELMOR_RESOURCES_DIR);
        engine::SetStatusLine(engine::kSimulatedStatus, engine::StatusTone::notice);
        engine::UsePortBackend(&converter);
        zelmor::addr1 = zelmor::addr2 = zelmor::addr3 = zelmor::lpt = 0;
        zelmor::lptPanel = zelmor::mainPanel = 0;
        zelmor::index = 0;
        porta = 0;
    }
    ~ProgramOnSimulator() {
        engine::testing::ResetEngine(zelmor::callbacks);
        engine::SetStatusLine("");
        engine::UsePortBackend(nullptr);
    }
    ProgramOnSimulator(const ProgramOnSimulator&) = delete;
    ProgramOnSimulator& operator=(const ProgramOnSimulator&) = delete;

    // Runs main; the script runs inside its event loop as the operator would act. Returns
    // main's result. Unless the script is to end the program itself (it may leave timers
    // behind that do), a script that does not is ended for it (endedByProgram then says so),
    // so that a failing test cannot hang.
    enum class Ending { afterScript, byScript };
    int run(const std::function<void()>& script, Ending ending = Ending::afterScript) {
        endedByProgram = false;
        QTimer::singleShot(0, [&, ending] {
            script();
            endedByProgram = engine::QuitRequested();
            if (!endedByProgram && ending == Ending::afterScript) QuitUserInterface(0);
        });
        char name[] = "zelmor";
        char* argv[] = {name, nullptr};
        return zelmor::main(1, argv);
    }

    engine::SimulatedConverter converter;
    bool endedByProgram = false;
};
