// Takes pictures of both panels as the operator sees them on the simulated converter, with no
// screen: the port panel at start, then the main panel after a few seconds of scanning.
//   panel_screenshots OUTPUT_FOLDER [light|dark [TAG]]
// In the light look into port-panel.png and main-panel.png; with "dark", in the dark look into
// port-panel-dark.png and main-panel-dark.png; a TAG goes before the look: main-panel-TAG.png.
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

#include "engine/panels/looks.h"
#include "engine/panels/settings.h"
#include "support/program_on_simulator.h"
#include "ui/panel_ids.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    engine::PlaceSettings("", true);  // the user's settings neither read nor written
    const QDir out(argc > 1 ? argv[1] : ".");
    const bool dark = argc > 2 && QString(argv[2]) == "dark";
    // Light unless told: the pictures do not follow the desktop they were taken on.
    const engine::Look look = dark ? engine::Look::dark : engine::Look::light;
    const QString suffix =
        (argc > 3 ? "-" + QString(argv[3]) : QString()) + (dark ? "-dark.png" : ".png");
    engine::SteadyClock clock;
    ProgramOnSimulator program(clock);

    auto shoot = [&](int panel, const char* name) {
        QWidget* w = engine::FindPanel(panel)->window.get();
        w->resize(w->sizeHint());
        const QString path = out.filePath(name + suffix);
        if (!w->grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::printf("%s\n", qPrintable(path));
    };
    return program.run(
        [&] {
            // After the panels are loaded, which applies the look saved in the settings.
            engine::ApplyLook(look);
            QTimer::singleShot(300, [&] {
                shoot(zelmor::lptPanel, "port-panel");
                engine::testing::ChooseItem(zelmor::lptPanel, PORTS_SELECT, 0);
                engine::testing::TypeInto(zelmor::mainPanel, MAIN_SAMPLES, "50");
                engine::testing::PressEnter(zelmor::mainPanel, MAIN_SAMPLES);
                SetCtrlVal(zelmor::mainPanel, MAIN_CHANNEL, 1);
                QTimer::singleShot(8500, [&] {
                    shoot(zelmor::mainPanel, "main-panel");
                    QuitUserInterface(0);
                });
            });
        },
        ProgramOnSimulator::Ending::byScript);
}
