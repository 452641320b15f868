// The acquisition cycle on the main panel: scan ticks, the statistics tick, the rate, and what
// the panel shows.
#include <QSpinBox>
#include <QTest>
#include <climits>

#include "engine/controls/controls.h"
#include "engine/panels/registry.h"
#include "program_fixture.h"

using namespace engine::testing;
using zelmor::mainPanel;

TEST_F(Program, EachTickShowsEveryChannelTheChosenOneLargeInItsColourAndOnePointPerTrace) {
    run([&] {
        openMainPanel();
        // Widen the selector beyond what the resource allows, as a bad resource might: out
        // of 0-7 the large display shows -1 instead of memory past the scan.
        control<QSpinBox>(MAIN_CHANNEL)->setRange(-1000, 1000);
        auto* big = control<LargeDisplay>(MAIN_VOLTAGE);
        EXPECT_EQ(ShownText(mainPanel, MAIN_VOLTAGE), "-.----");  // nothing measured yet
        std::size_t tick = 0;
        for (int chosen : {3, 0, 6, 8, 1000, -1}) {
            SCOPED_TRACE("channel " + std::to_string(chosen));
            SetCtrlVal(mainPanel, MAIN_CHANNEL, chosen);
            clock.pause(0.37);  // the inputs move between scans
            FireTimer(mainPanel, MAIN_TIMER);
            ++tick;
            for (int ch = 0; ch < 8; ++ch) {
                EXPECT_EQ(Value(mainPanel, MAIN_CH0 - ch), expectedVolts(ch)) << "CH" << ch;
                const std::vector<double> trace = ChartTrace(mainPanel, MAIN_CHART, ch);
                ASSERT_EQ(trace.size(), tick);
                EXPECT_EQ(trace.back(), expectedVolts(ch));
            }
            const bool shown = chosen >= 0 && chosen < 8;
            EXPECT_EQ(Value(mainPanel, MAIN_VOLTAGE), shown ? expectedVolts(chosen) : -1.0);
            if (!shown) continue;
            // The digits, in the chosen trace's colour, are made for the next display frame.
            const QColor colour = control<StripChart>(MAIN_CHART)->traceColor(chosen);
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return big->palette().color(QPalette::WindowText) == colour; }, 500));
            EXPECT_EQ(ShownText(mainPanel, MAIN_VOLTAGE),
                      QString::number(expectedVolts(chosen), 'f', 4).toStdString());
        }
        EXPECT_EQ(zelmor::index, 6);
        EXPECT_EQ(converter.conversions(), 48u);
        ChooseMenuItem(mainPanel, "Usci");
    });
    EXPECT_TRUE(endedByProgram);
}

TEST_F(Program, OnlyACommittedRateOfAtLeastOneSetsTheIntervalTheMeterAndTheStatisticsWarning) {
    run([&] {
        openMainPanel();
        control<QSpinBox>(MAIN_SAMPLES)->setRange(INT_MIN, INT_MAX);  // as a bad resource might
        enum Act { none, type, enter, arrowUp };
        const struct {
            int scans;  // in the second before the act; the statistics tick follows it
            Act act;
            const char* text;
            double interval;
            int meterMax;  // 110% of the rate
            bool warning;  // fewer than 90% of the applied rate's scans
        } steps[] = {
            {5, none, "", 0.1, 11, true},       {9, none, "", 0.1, 11, false},
            {0, type, "100", 0.1, 11, true},    {10, none, "", 0.1, 11, false},
            {10, enter, "", 0.01, 110, true},   {95, none, "", 0.01, 110, false},
            {95, type, "20", 0.01, 110, false}, {18, enter, "", 0.05, 22, false},
            {0, type, "1", 0.05, 22, true},     {1, enter, "", 1.0, 1, false},
            {1, arrowUp, "", 0.5, 2, true},     {2, type, "0", 0.5, 2, false},
            {2, enter, "", 0.5, 2, false},      {2, type, "-5", 0.5, 2, false},
            {2, enter, "", 0.5, 2, false},      {2, type, "7", 0.5, 2, false},
            {6, enter, "", 1.0 / 7, 7, true},
        };
        for (const auto& s : steps) {
            SCOPED_TRACE(std::to_string(s.scans) + " scans, " + s.text + " act " +
                         std::to_string(s.act));
            for (int i = 0; i < s.scans; ++i) FireTimer(mainPanel, MAIN_TIMER);
            if (s.act == type) TypeInto(mainPanel, MAIN_SAMPLES, s.text);
            if (s.act == enter) PressEnter(mainPanel, MAIN_SAMPLES);
            if (s.act == arrowUp) PressKey(mainPanel, MAIN_SAMPLES, Qt::Key_Up);
            EXPECT_EQ(zelmor::index, s.scans);  // the count goes on
            EXPECT_DOUBLE_EQ(Interval(mainPanel, MAIN_TIMER), s.interval);
            EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), s.meterMax);
            FireTimer(mainPanel, MAIN_STAT_TIMER);
            EXPECT_EQ(ShownText(mainPanel, MAIN_RATE), std::to_string(s.scans) + " scans/s");
            EXPECT_EQ(control<RateMeter>(MAIN_RATE)->warning(), s.warning);
            EXPECT_EQ(zelmor::index, 0);
        }
        SetCtrlVal(mainPanel, MAIN_SAMPLES, INT_MAX);
        PressEnter(mainPanel, MAIN_SAMPLES);
        EXPECT_GT(Interval(mainPanel, MAIN_TIMER), 0.0);
        EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), INT_MAX);
    });
}

TEST_F(Program, TypingPastTheMaximumShowsTheMaximumAndSaysSo) {
    run([&] {
        openMainPanel();
        const int most = static_cast<int>(MaxValue(mainPanel, MAIN_SAMPLES));
        const std::string at = std::to_string(most), past = std::to_string(most * 5);
        EXPECT_EQ(ToolTip(mainPanel, MAIN_SAMPLES),
                  "Scans per second to make; press Enter to apply (1 to " + at + " scans/s)");
        const struct {
            std::string typed, shown, notice;
        } cases[] = {
            {past, at, "at most " + at + " scans/s"},
            {at + "9", at, "at most " + at + " scans/s"},  // a keystroke more: the same
            {"5", "5", ""},
        };
        for (const auto& c : cases) {
            TypeInto(mainPanel, MAIN_SAMPLES, c.typed);
            EXPECT_EQ(ShownText(mainPanel, MAIN_SAMPLES), c.shown) << c.typed;
            EXPECT_EQ(EntryNotice(mainPanel, MAIN_SAMPLES), c.notice) << c.typed;
        }
        SetCtrlAttribute(mainPanel, MAIN_SAMPLES, ATTR_MAX_VALUE, 40);
        EXPECT_NE(ToolTip(mainPanel, MAIN_SAMPLES).find("(1 to 40 scans/s)"), std::string::npos);
    });
}

TEST_F(Program, SpaceFromAnotherControlFreezesTheChartAndTheIndicatorsGoOn) {
    run([&] {
        openMainPanel();
        QWidget* window = engine::FindPanel(mainPanel)->window.get();
        auto* chart = control<StripChart>(MAIN_CHART);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QWidget* samples = control<QWidget>(MAIN_SAMPLES);
        samples->setFocus();
        QTest::keyClick(samples, Qt::Key_Space);
        ASSERT_TRUE(chart->frozen());
        clock.pause(0.5);
        FireTimer(mainPanel, MAIN_TIMER);
        EXPECT_EQ(chart->data().size() - chart->shown().size(), 1);
        EXPECT_EQ(Value(mainPanel, MAIN_CH1), expectedVolts(1));
        EXPECT_EQ(Value(mainPanel, MAIN_SAMPLES), 10);  // the space typed nothing
    });
}
