// The process start-up: Qt, the engine's options, the port back end, then the program.
#pragma once

#include "engine/user_interface.h"

namespace engine {

using ProgramMain = int (*)(int argc, char* argv[]);

// Sets up everything, calls programMain with the arguments that are not the engine's, and
// returns its result for the process exit code; -1 when the engine cannot be set up or an
// engine option is invalid (one line on standard error says why); 0 after --help.
int RunProgram(int argc, char* argv[], ProgramMain programMain, const CallbackTable& callbacks);

}  // namespace engine
