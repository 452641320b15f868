// The panel path, as the program takes it: the bytes as a panel resource file, LoadPanel
// (check, load, bind), and when it loads, the window shown and painted once, then discarded.
// A hang in a paint (the chart's grid on a range of no width) is a timeout for the fuzzer.
// The seeds that refer to another file name the canary, a named pipe nobody writes to: a
// panel that opens it hangs there, so a file a panel makes the program open is a timeout too.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/panels/registry.h"
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
    static int argc = 1;
    static char name[] = "panel_fuzzer";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    char pattern[] = "/tmp/zelmor-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) {
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
    engine::TakeLastLoadError();
    if (panel >= 1) {
        DisplayPanel(panel);
        QWidget* window = engine::FindPanel(panel)->window.get();
        // A fixed canvas: a window as large as a resource may ask is no painting fault.
        QImage image(1024, 768, QImage::Format_ARGB32_Premultiplied);
        window->render(&image);
    }
    engine::testing::ResetEngine(kCallbacks);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
