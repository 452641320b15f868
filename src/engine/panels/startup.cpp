#include "engine/panels/startup.h"

#include <QApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#if defined(__unix__)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "engine/options.h"
#include "engine/panels/dispatch.h"
#include "engine/panels/loader.h"
#include "engine/panels/registry.h"
#include "engine/ports/direct.h"
#include "engine/ports/port_io.h"
#include "engine/ports/ppdev.h"
#include "engine/ports/privileges.h"
#include "engine/ports/simulated_converter.h"

namespace engine {
namespace {

bool displayAvailable() {
#if defined(__linux__)
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

// The command as the operator typed it, so that a suggestion built from it works when pasted.
std::string CommandLine(int argc, char* argv[]) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i) line += ' ';
        line += ShellQuoted(argv[i] ? argv[i] : "");
    }
    return line;
}

// Qt wants a private runtime folder and complains on every start without one (root sessions,
// containers, CI). Give it one of ours: owned by us, mode 0700, never a link.
void EnsureRuntimeFolder() {
#if defined(__unix__)
    const char* set = std::getenv("XDG_RUNTIME_DIR");
    if (set && *set) return;
    std::string folder = "/tmp/zelmor-runtime-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    struct stat st {};
    const bool ours = lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
                      st.st_uid == getuid() && (st.st_mode & 077) == 0;
    if (!ours) {
        // Someone else holds that name: take a fresh one instead of trusting it.
        char fresh[] = "/tmp/zelmor-runtime-XXXXXX";
        if (!mkdtemp(fresh)) return;
        folder = fresh;
    }
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
#endif
}

bool forceRefusalWindow = false;

// A refusal the operator may not see on a terminal (started from a desktop menu): besides
// the line on standard error, a window says it whenever there is a screen to show it on.
void ShowRefusal(const std::string& line) {
    const QString platform = QGuiApplication::platformName();
    if (!forceRefusalWindow && (platform == "offscreen" || platform == "minimal")) return;
    MessagePopup("Zelmor cannot start", line.c_str());
}

// The back end --io names, opened, and what it allows of a plain root session; the one place
// that knows which back ends there are. No back end and the reason when it cannot be set up.
struct OpenedBackend {
    std::unique_ptr<PortBackend> backend;
    RootSession rootSession = RootSession::stays;
    std::string error;
};
OpenedBackend OpenBackend(const EngineOptions& options, Clock& clock) {
    OpenedBackend opened;
    if (options.io == EngineOptions::Io::simulated) {
        auto simulated = std::make_unique<SimulatedConverter>(clock);
        simulated->setFault(options.simFault);
        opened.backend = std::move(simulated);
        return opened;
    }
    SystemCalls& sys = RealSystemCalls();
    const std::vector<KernelPort> kernel = ListKernelPorts();
    PortTable table = ReadPortTable(sys, "/dev/mem", kernel);
    if (options.io == EngineOptions::Io::ppdev) {
        opened.backend = PpdevPorts::Open(sys, "/dev", kernel, table, opened.error);
    } else {
        opened.backend = DirectPorts::Open(sys, table, ParallelPortBases(), opened.error);
        opened.rootSession = RootSession::refused;
    }
    return opened;
}

StatusTone toneOf(BackendTone tone) {
    switch (tone) {
        case BackendTone::notice:
            return StatusTone::notice;
        case BackendTone::alarm:
            return StatusTone::alarm;
        case BackendTone::plain:
            break;
    }
    return StatusTone::plain;
}

// Every panel's status line says what the back end says of itself, now and whenever that
// changes. A failed port is also said once on standard error, which outlives the window.
void ShowBackendStatus(PortBackend& backend) {
    auto show = [&backend, told = std::string()]() mutable {
        const BackendStatus status = backend.status();
        SetStatusLine(status.text, toneOf(status.tone));
        if (status.tone == BackendTone::alarm && status.text != told) {
            std::cerr << "zelmor: " << status.text << std::endl;
            told = status.text;
        }
    };
    show();
    backend.onStatusChange(show);
}

}  // namespace

std::string ShellQuoted(const std::string& word) {
    if (!word.empty() &&
        word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                               "0123456789_-+=/.,:@%") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

namespace {
QtMessageHandler qtHandler = nullptr;

void dropPlatformChatter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    // Screenless platforms say on every window that they cannot do what only a screen does.
    if (text.startsWith(QLatin1String("This plugin does not support"))) return;
    if (qtHandler)
        qtHandler(type, context, text);
    else
        std::cerr << text.toStdString() << std::endl;
}
}  // namespace

void QuietPlatformChatter() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    qtHandler = qInstallMessageHandler(dropPlatformChatter);
}

namespace testing {
void ShowRefusalsOffscreen(bool show) {
    forceRefusalWindow = show;
}
}  // namespace testing

int RunProgram(int argc, char* argv[], ProgramMain programMain, const CallbackTable& table) {
    EngineOptions options;
    if (auto error = ParseEngineOptions(argc, argv, options)) {
        std::cerr << "zelmor: " << *error << "\n\nUsage: zelmor [engine options]\n\n"
                  << EngineOptionsHelp() << std::flush;
        return -1;
    }
    if (options.help) {
        std::cout << "Usage: zelmor [engine options]\n\n" << EngineOptionsHelp();
        return 0;
    }
    if (!displayAvailable()) {
        const std::string command = Printable(CommandLine(argc, argv));
        std::cerr << "zelmor: no display to show the panels on (DISPLAY is not set). Run it in a "
                     "desktop session, under Xvfb (xvfb-run -a "
                  << command << "), or without a screen (QT_QPA_PLATFORM=offscreen " << command
                  << ")." << std::endl;
        return -1;
    }

    // The port back end first, while whatever privilege it needs is still there; then every
    // privilege goes, before Qt reads a single setting.
    SteadyClock clock;
    OpenedBackend opened = OpenBackend(options, clock);
    UsePortBackend(opened.backend.get());
    const std::string privileges = GiveUpPrivileges(opened.rootSession);
    const std::string refusal = RefusalLine(opened.error, privileges);
    if (!privileges.empty()) {
        // Still privileged: no window, not even to say so.
        std::cerr << refusal << std::endl;
        UsePortBackend(nullptr);
        return -1;
    }
    if (!refusal.empty()) std::cerr << refusal << std::endl;

    EnsureRuntimeFolder();
    QuietPlatformChatter();
    // Qt is given none of the operator's arguments: the engine's options are not its own, and
    // its own (a platform plugin path, a style sheet) are not for the operator to slip in.
    // Tests run the start-up inside their own application object.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    std::optional<QApplication> app;
    if (!QCoreApplication::instance()) app.emplace(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtFront();
    if (!refusal.empty()) {
        ShowRefusal(refusal);
        InstallDialogFront(nullptr);
        return -1;
    }
    ShowBackendStatus(*opened.backend);

    SetResourceFolder(options.resourceDir);
    RegisterCallbacks(table);
    TakeLastLoadError();

    char* programArgv[] = {argv[0], nullptr};
    const int result = programMain(1, programArgv);
    if (result == -1) {
        const std::string line = TakeLastLoadError();
        if (!line.empty()) ShowRefusal(line);
    }

    DiscardAllPanels();
    InstallDialogFront(nullptr);
    UsePortBackend(nullptr);
    return result;
}

}  // namespace engine
