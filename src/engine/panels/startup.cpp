#include "engine/panels/startup.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>
#if defined(__unix__)
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "engine/options.h"
#include "engine/panels/dispatch.h"
#include "engine/panels/loader.h"
#include "engine/panels/registry.h"
#include "engine/panels/settings.h"
#include "engine/panels/unattended.h"
#include "engine/panels/viewer.h"
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

// Whether Qt will certainly use the X server and nothing else: no platform asked for, or only
// xcb, and no sign of a Wayland session that Qt might choose instead.
bool onlyX11() {
    const char* asked = std::getenv("QT_QPA_PLATFORM");
    if (!asked || !*asked) {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        const char* session = std::getenv("XDG_SESSION_TYPE");
        return !(wayland && *wayland) && !(session && std::strcmp(session, "wayland") == 0);
    }
    // A list of platforms to try in turn, each with its own ":options".
    const std::string list = asked;
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t end = std::min(list.find(';', at), list.size());
        const std::string entry = list.substr(at, end - at);
        if (entry.substr(0, entry.find(':')) != "xcb") return false;
        at = end + 1;
    }
    return true;
}

// Why no X server can be reached on DISPLAY, or nothing when one answers. Qt's X plugin
// aborts the process when it cannot connect; asking the server first, through the same
// library the plugin links, lets the operator have one line instead. Loaded at run time so
// that the engine itself needs no X library.
std::string unreachableX11() {
#if defined(__linux__)
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb) return "libxcb.so.1, the X client library, cannot be loaded";
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    std::string why;
    if (!connect || !hasError || !disconnect) {
        why = "libxcb.so.1 lacks the calls to connect to an X server";
    } else {
        void* connection = connect(nullptr, nullptr);
        const char* display = std::getenv("DISPLAY");
        if (hasError(connection))
            why = display && *display
                      ? "no X server answers on DISPLAY \"" + Printable(display) + "\""
                      : std::string("DISPLAY is not set");
        disconnect(connection);
    }
    dlclose(xcb);
    return why;
#else
    return {};
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
            std::cerr << "zelmor: " << Printable(status.text) << std::endl;
            told = status.text;
            TellRunFault(RunFault::portLost);
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
    // Qt quotes outside text (an environment variable, a file name) in its messages as it is.
    const std::string line = Printable(text.toStdString());
    if (qtHandler)
        qtHandler(type, context, QString::fromStdString(line));
    else
        std::cerr << line << std::endl;
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

// The one line said when no display can be opened, with the command as the operator typed it
// so that either way on can be pasted as it stands.
std::string noDisplayLine(const std::string& why, int argc, char* argv[]) {
    const std::string command = Printable(CommandLine(argc, argv));
    return "zelmor: no display could be opened (" + why +
           "). Run it in a desktop session, under Xvfb (xvfb-run -a " + command +
           "), or without a screen (QT_QPA_PLATFORM=offscreen " + command + ").";
}

int RunProgram(int argc, char* argv[], ProgramMain programMain, const CallbackTable& table) {
    const char* usage = "Usage: zelmor [engine options] [arguments]\n\n";
    EngineOptions options;
    if (auto error = ParseEngineOptions(argc, argv, options)) {
        std::cerr << "zelmor: " << *error << "\n\n" << usage << EngineOptionsHelp() << std::flush;
        return -1;
    }
    if (options.help) {
        std::cout << usage << EngineOptionsHelp();
        return 0;
    }
    if (!options.recordFile.empty() && !options.overwrite &&
        QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(options.recordFile)))) {
        std::cerr << "zelmor: --record: \"" << Printable(options.recordFile)
                  << "\" exists; give --overwrite to replace it" << std::endl;
        return -1;
    }
    // A timed run on a chosen port needs no screen: without one it runs on the offscreen
    // platform.
    const bool screenless = options.port && options.seconds > 0;
    if (!displayAvailable() && screenless) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // --open: the file is read first, and a file refused is a start-up refusal.
    RecordedHistory viewed;
    if (!options.openFile.empty()) {
        if (auto refused = LoadRecordedHistory(options.openFile, kViewerResolution, viewed)) {
            std::cerr << "zelmor: " << *refused << std::endl;
            return -1;
        }
    }
    if (!displayAvailable()) {
        std::cerr << noDisplayLine("DISPLAY is not set", argc, argv) << std::endl;
        return -1;
    }

    // The port back end first, while whatever privilege it needs is still there; then every
    // privilege goes, before Qt reads a single setting or the X server is asked for (its
    // client reads the authority file the environment names).
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

    // Tests run the start-up inside their own application object.
    const bool ownApplication = !QCoreApplication::instance();
    if (ownApplication && onlyX11()) {
        if (const std::string why = unreachableX11(); !why.empty() && screenless) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        } else if (!why.empty()) {
            // A refusal already said is enough: there is no screen to show it on either.
            if (refusal.empty()) std::cerr << noDisplayLine(why, argc, argv) << std::endl;
            UsePortBackend(nullptr);
            return -1;
        }
    }
    EnsureRuntimeFolder();
    QuietPlatformChatter();
    // Qt is given none of the operator's arguments: the engine's options are not its own, and
    // its own (a platform plugin path, a style sheet) are not for the operator to slip in.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    std::optional<QApplication> app;
    if (ownApplication) app.emplace(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtFront();
    if (!refusal.empty()) {
        if (options.seconds == 0) ShowRefusal(refusal);  // a timed run has no one to close it
        InstallDialogFront(nullptr);
        return -1;
    }
    const QString platform = QGuiApplication::platformName();
    PlanUnattendedRun(options, options.seconds > 0 || (ownApplication && (platform == "offscreen" ||
                                                                          platform == "minimal")));
    PlaceSettings(options.settingsFile, options.noSettings);
    if (!options.openFile.empty()) {  // the viewer in place of the program
        const int result = RunViewer(std::move(viewed));
        InstallDialogFront(nullptr);
        UsePortBackend(nullptr);
        return result;
    }
    ShowBackendStatus(*opened.backend);

    SetResourceFolder(options.resourceDir);
    RegisterCallbacks(table);

    // The program's own arguments, after its name; a panel that cannot be loaded it ends on
    // with -1, and the loader's line on standard error has said why: nothing waits for OK.
    std::vector<char*> programArgv = {argv[0]};
    for (std::string& a : options.programArguments) programArgv.push_back(a.data());
    programArgv.push_back(nullptr);
    const int result =
        EndUnattendedRun(programMain(static_cast<int>(programArgv.size() - 1), programArgv.data()));

    DiscardAllPanels();
    InstallDialogFront(nullptr);
    UsePortBackend(nullptr);
    return result;
}

}  // namespace engine
