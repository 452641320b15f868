// The acquisition cycle on the main panel: scan ticks, the statistics tick, the rate, and what
// the panel shows.
#include <QApplication>
#include <QElapsedTimer>
#include <QLCDNumber>
#include <QLabel>
#include <QSpinBox>
#include <QTest>
#include <climits>
#include <functional>

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

TEST_F(Program, TheStatisticsTickShowsTheScansSinceTheLastOneAgainstTheAppliedRate) {
    run([&] {
        openMainPanel();
        const struct {
            const char* typed;  // and Enter when commit
            bool commit;
            int scans;
            bool warning;  // fewer than 90% of the applied rate's scans
        } seconds[] = {
            {nullptr, false, 5, true},   {nullptr, false, 9, false}, {"100", false, 0, true},
            {nullptr, false, 10, false}, {nullptr, true, 10, true},  {nullptr, false, 95, false},
        };
        for (const auto& s : seconds) {
            SCOPED_TRACE(std::to_string(s.scans) + " scans");
            if (s.typed) TypeInto(mainPanel, MAIN_SAMPLES, s.typed);
            if (s.commit) PressEnter(mainPanel, MAIN_SAMPLES);
            for (int i = 0; i < s.scans; ++i) FireTimer(mainPanel, MAIN_TIMER);
            FireTimer(mainPanel, MAIN_STAT_TIMER);
            EXPECT_EQ(ShownText(mainPanel, MAIN_RATE), std::to_string(s.scans) + " scans/s");
            EXPECT_EQ(control<RateMeter>(MAIN_RATE)->warning(), s.warning);
            EXPECT_EQ(zelmor::index, 0);
        }
    });
}

TEST_F(Program, OnlyACommittedRateOfAtLeastOneSetsTheIntervalAndTheMeter) {
    run([&] {
        openMainPanel();
        control<QSpinBox>(MAIN_SAMPLES)->setRange(INT_MIN, INT_MAX);  // as a bad resource might
        FireTimer(mainPanel, MAIN_TIMER);
        enum Act { type, enter, arrowUp };
        const struct {
            Act act;
            const char* text;
            double interval;
            int meterMax;  // 110% of the rate
        } steps[] = {
            {type, "20", 0.1, 11}, {enter, "", 0.05, 22},   {type, "1", 0.05, 22},
            {enter, "", 1.0, 1},   {arrowUp, "", 0.5, 2},   {type, "0", 0.5, 2},
            {enter, "", 0.5, 2},   {type, "-5", 0.5, 2},    {enter, "", 0.5, 2},
            {type, "7", 0.5, 2},   {enter, "", 1.0 / 7, 7},
        };
        for (const auto& s : steps) {
            SCOPED_TRACE(std::string(s.text) + " act " + std::to_string(s.act));
            if (s.act == type) TypeInto(mainPanel, MAIN_SAMPLES, s.text);
            if (s.act == enter) PressEnter(mainPanel, MAIN_SAMPLES);
            if (s.act == arrowUp) PressKey(mainPanel, MAIN_SAMPLES, Qt::Key_Up);
            EXPECT_DOUBLE_EQ(Interval(mainPanel, MAIN_TIMER), s.interval);
            EXPECT_EQ(MaxValue(mainPanel, MAIN_RATE), s.meterMax);
        }
        EXPECT_EQ(zelmor::index, 1);  // the count goes on
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

TEST_F(Program, OnScreenEveryFrameShowsOneScanSpaceFreezesTheChartAndAWiderWindowGoesToIt) {
    // What each widget last painted: once the indicator has painted a scan, the chart and the
    // large display must show that same scan.
    struct Painted : QObject {
        std::function<double()> value;
        double last = -1;
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) last = value(), ++paints;
            return false;
        }
    } inChart, inIndicator, inLarge;
    run([&] {
        openMainPanel();
        QWidget* window = engine::FindPanel(mainPanel)->window.get();
        auto* chart = control<StripChart>(MAIN_CHART);
        auto* large = control<QWidget>(MAIN_VOLTAGE);
        SetCtrlVal(mainPanel, MAIN_CHANNEL, 4);
        inChart.value = [chart] {
            return chart->data().size() ? chart->data().trace(4).back() : -1;
        };
        inIndicator.value = [&] { return Value(mainPanel, MAIN_CH4); };
        inLarge.value = [&] { return Value(mainPanel, MAIN_VOLTAGE); };
        chart->installEventFilter(&inChart);
        control<QWidget>(MAIN_CH4)->installEventFilter(&inIndicator);
        large->findChild<QLCDNumber*>()->installEventFilter(&inLarge);
        QTest::qWait(50);
        for (int scan = 0; scan < 30; ++scan) {
            clock.pause(0.0137);  // the ramp moves on every scan
            FireTimer(mainPanel, MAIN_TIMER);
            const int before = inIndicator.paints;
            QElapsedTimer waited;
            waited.start();
            while (inIndicator.paints == before && waited.elapsed() < 200)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            ASSERT_GT(inIndicator.paints, before);
            EXPECT_EQ(inIndicator.last, Value(mainPanel, MAIN_CH4));
            EXPECT_EQ(inChart.last, inIndicator.last) << "scan " << scan;
            EXPECT_EQ(inLarge.last, inIndicator.last) << "scan " << scan;
        }

        // Space from another control freezes the chart; the indicators go on.
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

        // An enlarged window goes to the chart, and the large display's unit stays beside its
        // digits at any width.
        const QSize small = window->size();
        window->resize(1100, 850);
        QCoreApplication::processEvents();
        EXPECT_GT(chart->height(), 850 - small.height() + 200);
        EXPECT_LT(control<QWidget>(MAIN_CHANNEL)->width(), 100);
        EXPECT_LT(samples->width(), 150);
        for (int width : {1100, 700}) {
            window->resize(width, 850);
            QCoreApplication::processEvents();
            const QRect digits = large->findChild<QLCDNumber*>()->geometry();
            const QRect unit = large->findChild<QLabel*>()->geometry();
            EXPECT_GE(unit.left(), digits.right()) << width;
            EXPECT_LE(unit.right(), large->contentsRect().right()) << width;
        }
    });
}
