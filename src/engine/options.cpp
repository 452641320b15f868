#include "engine/options.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
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

// A whole number of at most nine digits, or nothing.
std::optional<long> wholeNumber(const std::string& v) {
    if (v.empty() || v.size() > 9 || v.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stol(v);
}

// Digits with at most one decimal point between them ("1", "0.5", "2."), or nothing: no sign,
// exponent, infinity or locale's comma.
std::optional<double> decimalNumber(const std::string& v) {
    const std::size_t point = v.find('.');
    const std::string whole = v.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : v.substr(point + 1);
    const auto digits = [](const std::string& d) {
        return d.size() <= 12 && d.find_first_not_of("0123456789") == std::string::npos;
    };
    if (whole.empty() && fraction.empty()) return std::nullopt;
    if (!digits(whole) || !digits(fraction)) return std::nullopt;
    // By hand: strtod would read the point as the locale has it.
    double scale = 1;
    for (std::size_t i = 0; i < fraction.size(); ++i) scale *= 10;
    return (whole.empty() ? 0 : static_cast<double>(std::stoll(whole))) +
           (fraction.empty() ? 0 : static_cast<double>(std::stoll(fraction)) / scale);
}

// The run options: each takes its value into options, or says why it cannot.
using RunOptionReader = std::optional<std::string> (*)(const std::string& value,
                                                       EngineOptions& options);
struct RunOption {
    const char* name;
    RunOptionReader read;
};
const RunOption kRunOptions[] = {
    {"--port",
     [](const std::string& v, EngineOptions& o) -> std::optional<std::string> {
         for (int n = 1; n <= 3; ++n)
             if (v == "LPT" + std::to_string(n)) {
                 o.port = n;
                 return std::nullopt;
             }
         return "--port takes LPT1, LPT2 or LPT3 (got \"" + Printable(v) + "\")";
     }},
    {"--rate",
     [](const std::string& v, EngineOptions& o) -> std::optional<std::string> {
         const auto n = wholeNumber(v);
         if (!n || *n < 1 || *n > kMaxRateOption)
             return "--rate takes a whole number of scans per second, 1 to " +
                    std::to_string(kMaxRateOption) + " (got \"" + Printable(v) + "\")";
         o.rate = static_cast<int>(*n);
         return std::nullopt;
     }},
    {"--record",
     [](const std::string& v, EngineOptions& o) -> std::optional<std::string> {
         if (v.empty()) return std::string("--record needs a file: --record=FILE");
         o.recordFile = v;
         return std::nullopt;
     }},
    {"--seconds",
     [](const std::string& v, EngineOptions& o) -> std::optional<std::string> {
         const auto s = decimalNumber(v);
         if (!s || *s < kMinSecondsOption || *s > kMaxSecondsOption)
             return "--seconds takes a number of seconds, 0.001 to 1000000 (got \"" + Printable(v) +
                    "\")";
         o.seconds = *s;
         return std::nullopt;
     }},
};

}  // namespace

std::optional<std::string> ParseEngineOptions(int argc, const char* const* argv,
                                              EngineOptions& options) {
    options = EngineOptions{};
    bool seenIo = false, seenFault = false, seenResources = false, seenHelp = false;
    bool seenOverwrite = false, seenOpen = false, seenSettings = false, seenNoSettings = false;
    bool seenRun[std::size(kRunOptions)] = {};
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
        } else if (arg == "--overwrite") {
            if (auto e = once(seenOverwrite, "--overwrite")) return e;
            options.overwrite = true;
        } else if (auto run =
                       std::find_if(std::begin(kRunOptions), std::end(kRunOptions),
                                    [&](const RunOption& r) { return valueOf(arg, r.name); });
                   run != std::end(kRunOptions)) {
            const auto at = static_cast<std::size_t>(run - std::begin(kRunOptions));
            if (auto e = once(seenRun[at], run->name)) return e;
            if (auto e = run->read(*valueOf(arg, run->name), options)) return e;
        } else if (auto v = valueOf(arg, "--open")) {
            if (auto e = once(seenOpen, "--open")) return e;
            if (v->empty()) return "--open needs a file: --open=FILE";
            options.openFile = *v;
        } else if (auto v = valueOf(arg, "--settings")) {
            if (auto e = once(seenSettings, "--settings")) return e;
            if (v->empty()) return "--settings needs a file: --settings=FILE";
            std::error_code error;
            if (std::filesystem::is_directory(*v, error))
                return "--settings needs a file, not a folder (got \"" + Printable(*v) + "\")";
            options.settingsFile = *v;
        } else if (arg == "--no-settings") {
            if (auto e = once(seenNoSettings, "--no-settings")) return e;
            options.noSettings = true;
        } else {
            // A misspelt engine option must not quietly start the simulated converter in
            // place of the port that was meant, nor Qt's own options reach Qt.
            return "unknown option \"" + Printable(arg) + "\"";
        }
    }
    if (options.io != EngineOptions::Io::simulated && seenFault)
        return "--sim-fault is a fault of the simulated converter; it does not go with --io=ppdev "
               "or --io=direct";
    if (seenSettings && seenNoSettings)
        return std::string("--no-settings uses no settings file; it does not go with --settings");
    if (options.overwrite && options.recordFile.empty())
        return std::string("--overwrite is for the file of --record; give --record=FILE too");
    // They act on the main panel, which opens only once a port is chosen: without --port a
    // run with no one at the panel would wait for ever.
    for (const auto& [given, name] : {std::pair(options.rate != 0, "--rate"),
                                      std::pair(!options.recordFile.empty(), "--record"),
                                      std::pair(options.seconds != 0, "--seconds")})
        if (given && options.port == 0)
            return std::string(name) + " acts once a port is chosen; give --port=LPTn too";
    // The viewer runs in place of the program: no port is chosen and nothing is scanned.
    if (!options.openFile.empty() && options.port != 0)
        return std::string(
            "--open shows a file in place of the program; it does not go with "
            "--port, --rate, --record or --seconds");
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
               "  --port=LPTn        choose LPT1, LPT2 or LPT3 on the port panel at start\n"
               "  --rate=N           set Requested to N scans/s and apply it (needs --port)\n"
               "  --record=FILE      record every scan to FILE (needs --port); an existing FILE\n"
               "                     is refused unless --overwrite is given too\n"
               "  --overwrite        let --record replace an existing FILE\n"
               "  --seconds=S        end after S seconds of scanning (needs --port); popups\n"
               "                     then go to standard error and the exit code says how it\n"
               "                     ended\n"
               "  --open=FILE        show a recording or a saved span in a viewer, in place of\n"
               "                     the program\n"
               "  --settings=FILE    keep the settings (chart, channels, trigger, look) in FILE\n"
               "                     in place of ~/.config/zelmor/zelmor.conf\n"
               "  --no-settings      read and write no settings: every run starts from the\n"
               "                     defaults\n"
               "  --help             print this and exit\n"
               "Each option at most once; there are no others. Arguments that do not begin with -\n"
               "are the program's own.\n";
    }();
    return help;
}

}  // namespace engine
