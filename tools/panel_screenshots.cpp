// Takes pictures of both panels as the operator sees them on the simulated converter, with no
// screen: the port panel at start, then the main panel after a few seconds of scanning.
//   panel_screenshots OUTPUT_FOLDER [dark]
// With "dark", under a dark palette, into port-panel-dark.png and main-panel-dark.png.
#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QTimer>
#include <cstdio>

#include "support/program_on_simulator.h"
#include "ui/panel_ids.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? argv[1] : ".");
    const bool dark = argc > 2 && QString(argv[2]) == "dark";
    if (dark) {
        QPalette p;
        p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        p.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
        p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        p.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
        p.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
        p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
        p.setColor(QPalette::ButtonText, QColor(0xe6, 0xe6, 0xe6));
        p.setColor(QPalette::Highlight, QColor(0x2f, 0x6f, 0xb3));
        p.setColor(QPalette::HighlightedText, Qt::white);
        p.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3a));
        p.setColor(QPalette::ToolTipText, QColor(0xe6, 0xe6, 0xe6));
        p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
        p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
        QApplication::setPalette(p);
    }
    const QString suffix = dark ? "-dark.png" : ".png";
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
