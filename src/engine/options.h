// The engine's own command-line options; everything else goes on to the program.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/simulated_bench.h"

namespace engine {

struct EngineOptions {
    enum class Io { simulated, ppdev, direct } io = Io::simulated;
    SimFault fault = SimFault::none;
    std::string resourceDir;  // empty: next to the executable, then the installed data folder
    bool help = false;
    std::vector<std::string> programArgs;  // argv[0] first
};

// Fills options from the command line; returns the reason when an engine option is invalid.
std::optional<std::string> ParseEngineOptions(int argc, const char* const* argv,
                                              EngineOptions& options);
const char* EngineOptionsHelp();

}  // namespace engine
