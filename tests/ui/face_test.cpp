// The panels at their smallest on the desktops they must hold on: the screen and the scale
// factor or font, and the look, come from the environment (tests/CMakeLists.txt runs this at
// each), scale 1 on a 1366x768 screen in the desktop's look when none is given.
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <iostream>

#include "engine/panels/looks.h"
#include "ui/program_fixture.h"

namespace {

using engine::testing::ShrinkToSmallest;

// The simulated converter behind a back end that knows its ceiling, as the hardware ones do
// once they hold the port.
struct WithCeiling : engine::PortBackend {
    explicit WithCeiling(engine::SimulatedConverter& c) : sim(c) {}
    void write(std::uint16_t a, std::uint8_t v) override { sim.write(a, v); }
    std::uint8_t read(std::uint16_t a) override { return sim.read(a); }
    bool readPhysical(std::uint32_t a, void* b, std::size_t n) override {
        return sim.readPhysical(a, b, n);
    }
    void pause(double s) override { sim.pause(s); }
    double scanCeiling() const override { return 2500; }
    engine::SimulatedConverter& sim;
};

class Face : public Program {
  protected:
    void SetUp() override { engine::UsePortBackend(&ceiling); }
    WithCeiling ceiling{converter};
};

TEST_F(Face, EveryPanelAtItsSmallestFitsTheScreenWithItsFrameAndNothingOverlaps) {
    int screenWidth = 1366, screenHeight = 768;
    if (const QByteArray given = qgetenv("ZELMOR_TEST_SCREEN"); !given.isEmpty()) {
        ASSERT_EQ(std::sscanf(given.constData(), "%dx%d", &screenWidth, &screenHeight), 2);
    }
    // A window manager's frame: a title bar and thin borders, in device pixels.
    const int frameWidth = 8, frameHeight = 40;
    // A desktop's larger system font, in points.
    if (const QByteArray points = qgetenv("ZELMOR_TEST_FONT_POINTS"); !points.isEmpty()) {
        QFont font = QApplication::font();
        font.setPointSizeF(points.toDouble());
        QApplication::setFont(font);
    }
    if (qgetenv("ZELMOR_TEST_LOOK") == "dark") engine::ApplyLook(engine::Look::dark);
    const double ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    run([&] {
        const struct {
            const char* name;
            int& panel;
            int leastPlot;
        } panels[] = {{"port panel", zelmor::lptPanel, 0}, {"main panel", zelmor::mainPanel, 160}};
        for (const auto& c : panels) {
            if (c.panel == zelmor::mainPanel) openMainPanel();
            const engine::testing::SmallestLayout s = ShrinkToSmallest(c.panel);
            std::cout << c.name << ": " << s.width << "x" << s.height << " at ratio " << ratio
                      << ", plot " << s.plotHeight << " px\n";
            EXPECT_LE(s.width * ratio + frameWidth, screenWidth) << c.name;
            EXPECT_LE(s.height * ratio + frameHeight, screenHeight) << c.name;
            EXPECT_GE(s.plotHeight, c.leastPlot) << c.name;
            EXPECT_TRUE(s.statusLineInside) << c.name;
            EXPECT_EQ(s.faults, std::vector<std::string>{}) << c.name;
            if (auto* said =
                    engine::FindPanel(c.panel)->window->findChild<QLabel*>("enginePortCeiling"))
                EXPECT_EQ(said->text().toStdString(), "port allows up to 2500 scans/s");
            else
                EXPECT_NE(c.panel, zelmor::mainPanel) << "no ceiling beside Requested";
        }
    });
}

}  // namespace
