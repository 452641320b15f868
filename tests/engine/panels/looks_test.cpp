// The looks: what the settings file gives, and every colour we draw readable on its
// background in the light and the dark one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>

#include "engine/chart/strip_chart.h"
#include "engine/panels/looks.h"
#include "support/temp_folder.h"

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
    TempFolder home;  // qt_test_main points XDG_CONFIG_HOME elsewhere: here, for this test
    const QByteArray before = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.path));
    const QString file = QString::fromStdString(home.path) + "/zelmor/zelmor.ini";
    QDir().mkpath(QString::fromStdString(home.path) + "/zelmor");
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
        if (c.content) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content, static_cast<qint64>(std::strlen(c.content)));
        }
        std::string problem;
        EXPECT_EQ(engine::SavedLook(problem), c.look) << (c.content ? c.content : "no file");
        if (*c.problem)
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        else
            EXPECT_EQ(problem, "");
    }
    ASSERT_TRUE(engine::SaveLook(engine::Look::dark));
    std::string problem;
    EXPECT_EQ(engine::SavedLook(problem), engine::Look::dark);
    qputenv("XDG_CONFIG_HOME", before);
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
