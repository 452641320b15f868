#include "engine/options.h"

#include <cstring>

namespace engine {
namespace {

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

std::optional<std::string> ParseEngineOptions(int argc, const char* const* argv,
                                              EngineOptions& options) {
    options = EngineOptions{};
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (i == 0) {
            options.programArgs.push_back(arg);
        } else if (arg == "--help") {
            options.help = true;
        } else if (startsWith(arg, "--io=") || arg == "--io") {
            const std::string v = arg.size() > 5 ? arg.substr(5) : "";
            if (v == "simulated") {
                options.io = EngineOptions::Io::simulated;
            } else if (v == "ppdev") {
                options.io = EngineOptions::Io::ppdev;
            } else if (v == "direct") {
                options.io = EngineOptions::Io::direct;
            } else {
                return "--io takes simulated, ppdev or direct (got \"" + v + "\")";
            }
        } else if (startsWith(arg, "--sim-fault=") || arg == "--sim-fault") {
            const std::string v = arg.size() > 12 ? arg.substr(12) : "";
            if (v == "none")
                options.fault = SimFault::none;
            else if (v == "unplugged")
                options.fault = SimFault::unplugged;
            else if (v == "unpowered")
                options.fault = SimFault::unpowered;
            else if (v == "strobe-stuck")
                options.fault = SimFault::strobeStuck;
            else if (v == "noisy")
                options.fault = SimFault::noisy;
            else
                return "--sim-fault takes none, unplugged, unpowered, strobe-stuck or noisy "
                       "(got \"" +
                       v + "\")";
        } else if (startsWith(arg, "--resources=") || arg == "--resources") {
            const std::string v = arg.size() > 12 ? arg.substr(12) : "";
            if (v.empty()) return "--resources needs a folder: --resources=DIR";
            options.resourceDir = v;
        } else {
            options.programArgs.push_back(arg);
        }
    }
    if (options.io != EngineOptions::Io::simulated && options.fault != SimFault::none)
        return "--sim-fault is a fault of the simulated converter; it does not go with --io=ppdev "
               "or --io=direct";
    return std::nullopt;
}

const char* EngineOptionsHelp() {
    return "Engine options:\n"
           "  --io=BACKEND       port back end: simulated, the built-in simulated converter\n"
           "                     (default); ppdev, the port through /dev/parportN (group lp);\n"
           "                     direct, in/out instructions (root or CAP_SYS_RAWIO, dropped at\n"
           "                     once)\n"
           "  --sim-fault=KIND   fault of the simulated converter: none (default), unplugged,\n"
           "                     unpowered, strobe-stuck or noisy\n"
           "  --resources=DIR    load the panel resources from DIR only\n"
           "  --help             print this and exit\n";
}

}  // namespace engine
