// Takes pictures of both panels as the operator sees them on the simulated converter, with no
// screen: the port panel at start, then the main panel after a few seconds of scanning.
//   panel_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

#include "engine/panels.h"
#include "engine/simulated_bench.h"
#include "engine/test_interface.h"
#include "ui/panel_ids.h"
#include "ui/zelmor.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? argv[1] : ".");
    engine::SteadyClock clock;
    engine::SimulatedBench bench(clock);
    engine::UsePortBackend(&bench);
    engine::testing::ResetEngine(zelmor::callbacks);
    engine::SetResourceFolder(ZELMOR_RESOURCES_DIR);
    engine::SetStatusLine("Simulated converter \u2014 voltages generated, not measured",
                          engine::StatusTone::notice);

    auto shoot = [&](int panel, const char* name) {
        QWidget* w = engine::FindPanel(panel)->window.get();
        w->resize(w->sizeHint());
        const QString path = out.filePath(name);
        if (!w->grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::printf("%s\n", qPrintable(path));
    };
    QTimer::singleShot(300, [&] {
        shoot(zelmor::lptPanel, "port-panel.png");
        engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
        engine::testing::TypeInto(zelmor::mainPanel, MAIN_SAMPLES, "50");
        engine::testing::PressEnter(zelmor::mainPanel, MAIN_SAMPLES);
        SetCtrlVal(zelmor::mainPanel, MAIN_CHANNEL, 1);
        QTimer::singleShot(8500, [&] {
            shoot(zelmor::mainPanel, "main-panel.png");
            QuitUserInterface(0);
        });
    });
    char name[] = "zelmor";
    char* args[] = {name, nullptr};
    const int rc = zelmor::main(1, args);
    engine::DiscardAllPanels();
    return rc;
}
