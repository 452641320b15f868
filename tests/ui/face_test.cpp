// The panels at their smallest on the desktops they must hold on: the screen and the scale
// factor or font come from the environment (tests/CMakeLists.txt runs this at each), scale 1
// on a 1366x768 screen when none is given.
#include <QApplication>
#include <QScreen>
#include <iostream>

#include "ui/program_fixture.h"

namespace {

using engine::testing::ShrinkToSmallest;

class Face : public Program {};

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
        }
    });
}

}  // namespace
