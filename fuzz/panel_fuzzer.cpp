// The panel path, as the program takes it: the bytes as a panel resource file, LoadPanel
// (check, load, bind), and when it loads, the window shown, its charts fed a few scans, and
// the window painted once, then discarded.
// A hang in a paint (the chart's grid on a range of no width) is a timeout for the fuzzer.
// The seeds that refer to another file name the canary, a named pipe nobody writes to: a
// panel that opens it hangs there, so a file a panel makes the program open is a timeout too.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/controls/control_kinds.h"
#include "engine/panels/registry.h"
#include "engine/panels/settings.h"
#include "engine/panels/startup.h"
#include "engine/panels/test_interface.h"

namespace {

// Stand-ins for the callbacks the program's panels and the engine's test panel name.
int ControlStandIn(int, int, int, void*, int, int) {
    return 0;
}
int PanelStandIn(int, int, void*, int, int) {
    return 0;
}
void CommandStandIn() {}

const engine::CallbackTable kCallbacks = {
    {"Selected", ControlStandIn}, {"ReadVolt", ControlStandIn}, {"Stat", ControlStandIn},
    {"Chsample", ControlStandIn}, {"CtrlCb", ControlStandIn},   {"TickCb", ControlStandIn},
    {"Quit", PanelStandIn},       {"PanelCb", PanelStandIn},    {"Usci", CommandStandIn},
    {"About", CommandStandIn},    {"MenuCb", CommandStandIn}};

std::string folder;
const char kCanary[] = "/tmp/zelmor-fuzz-canary.png";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    engine::QuietPlatformChatter();
    static int argc = 1;
    static char name[] = "panel_fuzzer";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    engine::PlaceSettings("", true);  // the user's settings neither read nor written
    // A run that ends on a hang never reaches atexit: scripts/fuzz.sh gives TMPDIR a folder of
    // its own, emptied on each run.
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zelmor-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("panel_fuzzer: mkdtemp");
        std::exit(1);
    }
    folder = pattern;
    struct stat canary;
    if (lstat(kCanary, &canary) != 0 || !S_ISFIFO(canary.st_mode)) {
        std::remove(kCanary);
        if (mkfifo(kCanary, 0600) != 0) {
            std::perror("panel_fuzzer: mkfifo");
            std::exit(1);
        }
    }
    std::atexit([] {
        engine::DiscardAllPanels();
        std::remove((folder + "/panel.uir").c_str());
        rmdir(folder.c_str());
    });
    engine::testing::ResetEngine(kCallbacks);
    engine::SetResourceFolder(folder);
    // The font database is read on the first paint, which takes longer than a hang's limit
    // under the sanitizers: read it here, once.
    QImage warm(64, 32, QImage::Format_ARGB32_Premultiplied);
    QLabel("0.000 V").render(&warm);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = folder + "/panel.uir";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        std::perror("panel_fuzzer: writing the resource");
        std::abort();
    }
    const int panel = LoadPanel(0, "panel.uir", 1);
    if (panel >= 1) {
        DisplayPanel(panel);
        const engine::Panel* p = engine::FindPanel(panel);
        // Every chart gets a few scans first: its columns are placed by time, and an empty
        // chart draws no column.
        for (const auto& [id, control] : p->controls) {
            if (!control.widget || !control.widget->inherits("StripChart")) continue;
            double scans[3 * 16];
            for (int i = 0; i < 3 * 16; ++i) scans[i] = 2.5 * (i % 7) / 6;
            const int traces = std::clamp(control.widget->property("traceCount").toInt(), 1, 16);
            PlotStripChart(panel, id, scans, 3 * traces, 0, 0, VAL_DOUBLE);
        }
        QWidget* window = p->window.get();
        // Every control the engine drives was bound to its ID: none slipped past the check.
        for (QWidget* w : window->findChildren<QWidget*>()) {
            const engine::ControlKind* kind = engine::KindOf(w);
            if (!kind || !kind->needsId) continue;
            const bool bound = std::any_of(p->controls.begin(), p->controls.end(),
                                           [&](const auto& c) { return c.second.widget == w; });
            if (!bound) {
                std::fprintf(stderr, "control %s loaded without an ID\n",
                             qPrintable(w->objectName()));
                std::abort();
            }
        }
        // A fixed canvas: a window as large as a resource may ask is no painting fault.
        QImage image(1024, 768, QImage::Format_ARGB32_Premultiplied);
        window->render(&image);
    }
    engine::testing::ResetEngine(kCallbacks);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
