// The engine's options over a command line cut from the bytes at each zero byte: the check
// never crashes, its refusal is one line safe to print whatever the arguments hold, and it never
// lets an argument that looks like an option through unless it is one of the engine's own, so
// that a typo never quietly starts the simulated converter.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/options.h"
#include "utf8_check.h"

namespace {

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The engine's options as the help lists them.
bool isEngineOption(const std::string& arg) {
    if (arg == "--help" || arg == "--io=simulated" || arg == "--io=ppdev" || arg == "--io=direct")
        return true;
    if (arg == "--port=LPT1" || arg == "--port=LPT2" || arg == "--port=LPT3" ||
        arg == "--overwrite")
        return true;
    if (startsWith(arg, "--resources=")) return arg.size() > std::string("--resources=").size();
    if (startsWith(arg, "--record=")) return arg.size() > std::string("--record=").size();
    // Numbers: digits, and for seconds one point; their bounds are checked on the result.
    if (startsWith(arg, "--rate="))
        return arg.find_first_not_of("0123456789", 7) == std::string::npos && arg.size() > 7;
    if (startsWith(arg, "--seconds="))
        return arg.find_first_not_of("0123456789.", 10) == std::string::npos &&
               arg.find('.', arg.find('.') + 1) == std::string::npos;
    if (startsWith(arg, "--open=")) return arg.size() > std::string("--open=").size();
    if (startsWith(arg, "--settings=")) return arg.size() > std::string("--settings=").size();
    if (arg == "--no-settings") return true;
    for (const engine::SimFaultName& f : engine::kSimFaults)
        if (arg == std::string("--sim-fault=") + f.name) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"zelmor"};
    std::string word;
    for (std::size_t i = 0; i < size && words.size() < 64; ++i) {
        if (data[i] != 0) {
            word += static_cast<char>(data[i]);
            continue;
        }
        words.push_back(word);
        word.clear();
    }
    if (!word.empty()) words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    argv.push_back(nullptr);

    engine::EngineOptions options;
    const auto refusal =
        engine::ParseEngineOptions(static_cast<int>(words.size()), argv.data(), options);
    if (refusal) {
        fuzz::RequireSafe(*refusal, "the options' refusal");
        return 0;
    }
    const bool inBounds =
        options.port >= 0 && options.port <= 3 && options.rate >= 0 &&
        options.rate <= engine::kMaxRateOption &&
        (options.seconds == 0 || (options.seconds >= engine::kMinSecondsOption &&
                                  options.seconds <= engine::kMaxSecondsOption)) &&
        (options.port || (!options.rate && !options.seconds && options.recordFile.empty()));
    if (!inBounds) {
        std::fprintf(stderr, "a run option out of its bounds was accepted\n");
        std::abort();
    }
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (!words[i].empty() && words[i][0] == '-' && !isEngineOption(words[i])) {
            std::fprintf(stderr, "argument %zu looks like an option and was accepted\n", i);
            std::abort();
        }
    }
    return 0;
}
