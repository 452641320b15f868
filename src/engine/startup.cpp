#include "engine/startup.h"

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>

#include "engine/hardware_ports.h"
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

std::unique_ptr<HardwarePorts> OpenHardware(EngineOptions::Io io, std::string& error) {
    SystemCalls& sys = RealSystemCalls();
    const std::vector<KernelPort> kernel = ListKernelPorts();
    PortTable table = ReadPortTable(sys, "/dev/mem", kernel);
    if (io == EngineOptions::Io::ppdev) return PpdevPorts::Open(sys, "/dev", kernel, table, error);
    std::unique_ptr<HardwarePorts> ports = DirectPorts::Open(sys, table, error);
    if (ports) {
        error = DropPrivileges();
        if (!error.empty()) return nullptr;
    }
    return ports;
}

std::string HardwareStatus(HardwarePorts& ports, EngineOptions::Io io) {
    std::uint16_t first = 0;
    for (auto w : ports.table().words)
        if (w && !first) first = w;
    const double ceiling = ScanCeiling(ports, static_cast<std::uint16_t>(first + 1));
    std::ostringstream s;
    s << "Port " << ports.describe() << " through "
      << (io == EngineOptions::Io::ppdev ? "ppdev" : "direct port access")
      << " \u2014 addresses from " << ports.table().source << " \u2014 at most "
      << static_cast<long>(ceiling) << " scans/s";
    return s.str();
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

    // The port back end comes first: direct port access drops its privileges before Qt starts.
    SteadyClock clock;
    SimulatedBench bench(clock);
    std::unique_ptr<HardwarePorts> hardware;
    std::string status;
    if (options.io == EngineOptions::Io::simulated) {
        bench.setFault(options.fault);
        UsePortBackend(&bench);
        status = "Simulated converter \u2014 voltages generated, not measured";
    } else {
        std::string error;
        hardware = OpenHardware(options.io, error);
        if (!hardware) {
            std::cerr << "zelmor: " << error << std::endl;
            return -1;
        }
        UsePortBackend(hardware.get());
        status = HardwareStatus(*hardware, options.io);
    }

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    SetStatusLine(status, options.io == EngineOptions::Io::simulated ? StatusTone::notice
                                                                     : StatusTone::plain);

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
