// The engine's own command-line options. The program takes none, so anything else is refused.
#pragma once

#include <optional>
#include <string>

namespace engine {

// The faults the simulated converter can be started with. They live here, below the port back
// ends, so that the option check, its error and the help all read the one table.
enum class SimFault {
    none,
    unplugged,    // converter cable off: the port's inputs float high
    unpowered,    // converter dead: its lines held low, the strobe never rises
    strobeStuck,  // strobe line stuck low, conversions otherwise fine
    noisy,        // data line out of the converter flips now and then (seeded)
};
struct SimFaultName {
    const char* name;  // as --sim-fault= takes it
    SimFault fault;
    const char* meaning;  // for the help
};
inline constexpr SimFaultName kSimFaults[] = {
    {"none", SimFault::none, "no fault (default)"},
    {"unplugged", SimFault::unplugged, "cable off: every channel reads full scale"},
    {"unpowered", SimFault::unpowered, "converter dead: every conversion times out"},
    {"strobe-stuck", SimFault::strobeStuck, "strobe line stuck low"},
    {"noisy", SimFault::noisy, "the data line flips now and then"},
};

struct EngineOptions {
    enum class Io { simulated, ppdev, direct } io = Io::simulated;
    SimFault simFault = SimFault::none;
    std::string resourceDir;  // empty: next to the executable, then the installed data folder
    bool help = false;
};

// Fills options from the command line; returns the reason when an engine option is invalid.
std::optional<std::string> ParseEngineOptions(int argc, const char* const* argv,
                                              EngineOptions& options);
const std::string& EngineOptionsHelp();

// Bytes as they may be quoted in a one-line message: control characters and invalid UTF-8
// escaped as \xNN.
std::string Printable(const std::string& bytes);

}  // namespace engine
