// The engine's own command-line options: every argument that begins with '-'. Every other
// argument is the program's own and is handed to its main.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/escape.h"  // the values quoted back in a refusal

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
    std::string openFile;     // --open: a recording shown in a viewer in place of the program
    bool help = false;
    std::string settingsFile;                   // --settings: in place of the user's zelmor.conf
    bool noSettings = false;                    // --no-settings: none read or written
    std::vector<std::string> programArguments;  // in the order given

    // A run without an operator: each acts as the operator would at the panels.
    int port = 0;            // --port=LPTn: n, the port panel's choice; 0: none given
    int rate = 0;            // --rate=N: Requested, committed; 0: none given
    std::string recordFile;  // --record=FILE: every scan, from the main panel's start
    bool overwrite = false;  // --overwrite: FILE may be replaced
    double seconds = 0;      // --seconds=S: the run ends after S s of acquisition; 0: never
};

// Bounds of the run options' numbers.
inline constexpr int kMaxRateOption = 1000000;      // scans/s; the panel's own range holds too
inline constexpr double kMinSecondsOption = 0.001;  // one millisecond
inline constexpr double kMaxSecondsOption = 1e6;    // about eleven and a half days

// Fills options from the command line; returns the reason when an engine option is invalid
// (a misspelt or unknown one, a bad value, one given twice).
std::optional<std::string> ParseEngineOptions(int argc, const char* const* argv,
                                              EngineOptions& options);
const std::string& EngineOptionsHelp();

}  // namespace engine
