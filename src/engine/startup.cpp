#include "engine/startup.h"

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "engine/options.h"
#include "engine/panels.h"
#include "engine/port_io.h"
#include "engine/simulated_bench.h"

namespace engine {
namespace {

bool platformNamedOnCommandLine(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0)
            return true;
    return false;
}

bool displayAvailable(int argc, char* argv[]) {
#if defined(__linux__)
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY") ||
           platformNamedOnCommandLine(argc, argv);
#else
    (void)argc;
    (void)argv;
    return true;
#endif
}

}  // namespace

int RunProgram(int argc, char* argv[], ProgramMain programMain, const CallbackTable& table) {
    EngineOptions options;
    if (auto error = ParseEngineOptions(argc, argv, options)) {
        std::cerr << "zelmor: " << *error << " (see --help)" << std::endl;
        return -1;
    }
    if (options.help) {
        std::cout << "Usage: zelmor [engine options]\n\n" << EngineOptionsHelp();
        return 0;
    }
    if (!displayAvailable(argc, argv)) {
        std::cerr << "zelmor: no display to show the panels on (DISPLAY is not set). Run it in a "
                     "desktop session, under Xvfb (xvfb-run -a zelmor), or without a screen "
                     "(QT_QPA_PLATFORM=offscreen zelmor)."
                  << std::endl;
        return -1;
    }

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    SteadyClock clock;
    SimulatedBench bench(clock);
    bench.setFault(options.fault);
    UsePortBackend(&bench);
    SetStatusLine("Simulated converter \u2014 voltages generated, not measured");

    SetResourceFolder(options.resourceDir);
    RegisterCallbacks(table);
    InstallQtFront();

    std::vector<char*> programArgv;
    for (auto& a : options.programArgs) programArgv.push_back(a.data());
    programArgv.push_back(nullptr);
    const int result = programMain(static_cast<int>(programArgv.size() - 1), programArgv.data());

    DiscardAllPanels();
    InstallDialogFront(nullptr);
    UsePortBackend(nullptr);
    return result;
}

}  // namespace engine
