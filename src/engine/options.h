// The engine's own command-line options. The program takes none, so anything else is refused.
#pragma once

#include <optional>
#include <string>

namespace engine {

struct EngineOptions {
    enum class Io { simulated, ppdev, direct } io = Io::simulated;
    std::string simFault;     // as given; the simulated converter reads it (empty: none)
    std::string resourceDir;  // empty: next to the executable, then the installed data folder
    bool help = false;
};

// Fills options from the command line; returns the reason when an engine option is invalid.
std::optional<std::string> ParseEngineOptions(int argc, const char* const* argv,
                                              EngineOptions& options);
const char* EngineOptionsHelp();

// Bytes as they may be quoted in a one-line message: control characters and invalid UTF-8
// escaped as \xNN.
std::string Printable(const std::string& bytes);

}  // namespace engine
