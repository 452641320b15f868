#include "engine/options.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace engine {

namespace {

// The value of "--name=value", or nothing when arg is not that option.
std::optional<std::string> valueOf(const std::string& arg, const char* name) {
    const std::size_t n = std::strlen(name);
    if (arg.compare(0, n, name) != 0 || arg.size() < n + 1 || arg[n] != '=') return std::nullopt;
    return arg.substr(n + 1);
}

// "none, unplugged, ... or noisy", from the table.
std::string faultNames() {
    std::string names;
    const std::size_t n = std::size(kSimFaults);
    for (std::size_t i = 0; i < n; ++i)
        names += (i == 0 ? "" : i + 1 == n ? " or " : ", ") + std::string(kSimFaults[i].name);
    return names;
}

}  // namespace

std::optional<std::string> ParseEngineOptions(int argc, const char* const* argv,
                                              EngineOptions& options) {
    options = EngineOptions{};
    bool seenIo = false, seenFault = false, seenResources = false, seenHelp = false,
         seenOpen = false;
    auto once = [](bool& seen, const char* name) -> std::optional<std::string> {
        if (seen) return std::string(name) + " is given twice";
        seen = true;
        return std::nullopt;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg.empty() || arg[0] != '-') {
            options.programArguments.push_back(arg);
        } else if (arg == "--help") {
            if (auto e = once(seenHelp, "--help")) return e;
            options.help = true;
        } else if (auto v = valueOf(arg, "--io")) {
            if (auto e = once(seenIo, "--io")) return e;
            if (*v == "simulated")
                options.io = EngineOptions::Io::simulated;
            else if (*v == "ppdev")
                options.io = EngineOptions::Io::ppdev;
            else if (*v == "direct")
                options.io = EngineOptions::Io::direct;
            else
                return "--io takes simulated, ppdev or direct (got \"" + Printable(*v) + "\")";
        } else if (auto v = valueOf(arg, "--sim-fault")) {
            if (auto e = once(seenFault, "--sim-fault")) return e;
            auto f = std::find_if(std::begin(kSimFaults), std::end(kSimFaults),
                                  [&](const SimFaultName& k) { return *v == k.name; });
            if (f == std::end(kSimFaults))
                return "--sim-fault takes " + faultNames() + " (got \"" + Printable(*v) + "\")";
            options.simFault = f->fault;
        } else if (auto v = valueOf(arg, "--resources")) {
            if (auto e = once(seenResources, "--resources")) return e;
            if (v->empty()) return "--resources needs a folder: --resources=DIR";
            options.resourceDir = *v;
        } else if (auto v = valueOf(arg, "--open")) {
            if (auto e = once(seenOpen, "--open")) return e;
            if (v->empty()) return "--open needs a file: --open=FILE";
            options.openFile = *v;
        } else {
            // A misspelt engine option must not quietly start the simulated converter in
            // place of the port that was meant, nor Qt's own options reach Qt.
            return "unknown option \"" + Printable(arg) + "\"";
        }
    }
    if (options.io != EngineOptions::Io::simulated && seenFault)
        return "--sim-fault is a fault of the simulated converter; it does not go with --io=ppdev "
               "or --io=direct";
    return std::nullopt;
}

const std::string& EngineOptionsHelp() {
    static const std::string help = [] {
        std::string text =
            "Engine options:\n"
            "  --io=BACKEND       port back end: simulated, the built-in simulated converter\n"
            "                     (default); ppdev, the port through /dev/parportN (group lp);\n"
            "                     direct, in/out instructions (root or CAP_SYS_RAWIO, dropped at\n"
            "                     once)\n"
            "  --sim-fault=KIND   fault of the simulated converter:\n";
        for (const SimFaultName& f : kSimFaults) {
            std::string name = f.name;
            name.resize(15, ' ');
            text += "                       " + name + f.meaning + "\n";
        }
        return text +
               "  --resources=DIR    load the panel resources from DIR only\n"
               "  --open=FILE        show a recording or a saved span in a viewer, in place of\n"
               "                     the program\n"
               "  --help             print this and exit\n"
               "Each option at most once; there are no others. Arguments that do not begin with -\n"
               "are the program's own.\n";
    }();
    return help;
}

}  // namespace engine
