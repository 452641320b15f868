// The looks: what the settings file gives, and every colour we draw readable on its
// background in the light and the dark one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

#include "engine/chart/strip_chart.h"
#include "engine/panels/chart_actions.h"
#include "engine/panels/looks.h"
#include "engine/panels/settings.h"

namespace {

double luminance(const QColor& c) {
    auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}
double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(Looks, TheSettingsFileGivesALookOrTheDesktopsWithAWordWhy) {
    // The standard file (tests run without settings), in the temporary folder qt_test_main
    // gives XDG_CONFIG_HOME.
    engine::PlaceSettings("", false);
    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + "/zelmor/zelmor.conf";
    QDir().mkpath(QFileInfo(file).path());
    const struct {
        const char* content;  // nullptr: no file
        engine::Look look;
        const char* problem;  // a part of it; "" for none
    } cases[] = {
        {nullptr, engine::Look::desktop, ""},
        {"[General]\nlook=dark\n", engine::Look::dark, ""},
        {"[General]\nlook=light\n", engine::Look::light, ""},
        {"[General]\nlook=purple\x1b[2J\n", engine::Look::desktop,
         "names no look \"purple\\x1b[2J\""},
        {"\xff\xfe\x01garbage", engine::Look::desktop, "is damaged"},
    };
    for (const auto& c : cases) {
        QFile::remove(file);
        QFile f(file);
        if (c.content && f.open(QIODevice::WriteOnly)) f.write(c.content);
        f.close();
        std::string problem;
        EXPECT_EQ(engine::SavedLook(problem), c.look) << (c.content ? c.content : "no file");
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        EXPECT_EQ(problem.empty(), !*c.problem) << problem;
    }
    // The look's old file beside it is read while the new one names no look, and never written.
    QFile::remove(file);
    QFile old(QFileInfo(file).path() + "/zelmor.ini");
    ASSERT_TRUE(old.open(QIODevice::ReadWrite) && old.write("[General]\nlook=light\n") > 0);
    old.flush();
    std::string problem;
    EXPECT_EQ(engine::SavedLook(problem), engine::Look::light);
    ASSERT_TRUE(engine::SaveLook(engine::Look::dark) &&
                engine::SavedLook(problem) == engine::Look::dark);
    EXPECT_TRUE(old.seek(0) && old.readAll() == "[General]\nlook=light\n");
    old.remove();
    engine::PlaceSettings("", true);
}

TEST(Looks, EveryColourWeDrawReadsOnItsBackgroundInTheLightAndTheDarkLook) {
    StripChart chart;
    using P = QPalette;
    const struct {
        P::ColorRole text, background;
    } texts[] = {{P::WindowText, P::Window},
                 {P::Text, P::Base},
                 {P::ButtonText, P::Button},
                 {P::ToolTipText, P::ToolTipBase},
                 {P::HighlightedText, P::Highlight}};
    for (engine::Look look : {engine::Look::light, engine::Look::dark}) {
        const QPalette p = engine::LookPalette(look);
        for (const auto& t : texts)
            EXPECT_GE(contrast(p.color(t.text), p.color(t.background)), 4.5)
                << int(look) << " text role " << t.text;
        // Traces on the plot, and the large display's digits (large text) on the window.
        for (int trace = 0; trace < 8; ++trace)
            for (P::ColorRole background : {P::Base, P::Window})
                EXPECT_GE(contrast(chart.traceColor(trace), p.color(background)), 3.0)
                    << int(look) << " trace " << trace << " on role " << background;
    }
    // The status line's badges, whatever the look: black on amber, white on red.
    EXPECT_GE(contrast(Qt::black, QColor("#f0ad4e")), 4.5);
    EXPECT_GE(contrast(Qt::white, QColor("#c9302c")), 4.5);
}

}  // namespace

TEST(Looks, EachMenuOfTheBarTakesTheChartsHoverBoxAway) {
    QMainWindow window;
    auto* chart = new StripChart;
    chart->setHistory(100);
    window.setCentralWidget(chart);
    QMenu* menus[] = {window.menuBar()->addMenu("&File"), window.menuBar()->addMenu("&View")};
    engine::HideHoverUnderMenus(&window);
    window.resize(600, 300);
    window.show();
    const double scan[8] = {1};
    for (int i = 0; i < 50; ++i) chart->appendScan(scan, 0.01 * i);
    const QPoint over(static_cast<int>(chart->plotArea().right()) - 4,
                      static_cast<int>(chart->plotArea().center().y()));
    for (QMenu* menu : menus) {
        const QImage before = chart->grab().toImage();
        QMouseEvent move(QEvent::MouseMove, over, chart->mapToGlobal(over), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(chart, &move);
        EXPECT_NE(chart->grab().toImage(), before);
        emit menu->aboutToShow();
        EXPECT_EQ(chart->grab().toImage(), before) << menu->title().toStdString();
    }
}
