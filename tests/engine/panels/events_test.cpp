#include <gtest/gtest.h>

#include <QLCDNumber>
#include <QTest>

#include "recording_callbacks.h"

using namespace engine::testing;

TEST_F(EngineTest, ASelectorReportsAValueChangeOnlyWhenTheOperatorChangesIt) {
    const int h = loadQuiet();
    ChooseItem(h, kSelector, 1);
    EXPECT_EQ(delivered, (std::vector<Delivered>{{h, kSelector, EVENT_VAL_CHANGED},
                                                 {h, kSelector, EVENT_COMMIT}}));
    delivered.clear();
    ChooseItem(h, kSelector, 1);  // the value it already holds
    EXPECT_EQ(delivered, (std::vector<Delivered>{{h, kSelector, EVENT_COMMIT}}));
    delivered.clear();
    EXPECT_EQ(SetCtrlVal(h, kSelector, 2), 0);  // the program's own change is no event
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(Value(h, kSelector), 2);
    EXPECT_EQ(SetCtrlVal(h, kSelector, 3), engine::kBadValue);
    EXPECT_EQ(Value(h, kSelector), 2);
}

TEST_F(EngineTest, AnEntryCommitsOnEnterOnAnArrowStepAndWhenLeftEdited) {
    const int h = loadQuiet();
    TypeInto(h, kEntry, "20");
    ASSERT_FALSE(delivered.empty());
    for (auto& d : delivered) EXPECT_EQ(d.event, EVENT_VAL_CHANGED);
    EXPECT_EQ(Value(h, kEntry), 20);

    delivered.clear();
    PressEnter(h, kEntry);
    EXPECT_EQ(delivered, (std::vector<Delivered>{{h, kEntry, EVENT_COMMIT}}));

    delivered.clear();
    PressKey(h, kEntry, Qt::Key_Up);
    EXPECT_EQ(delivered,
              (std::vector<Delivered>{{h, kEntry, EVENT_VAL_CHANGED}, {h, kEntry, EVENT_COMMIT}}));
    EXPECT_EQ(Value(h, kEntry), 21);

    delivered.clear();
    LeaveControl(h, kEntry);  // nothing typed since the last commit
    EXPECT_TRUE(delivered.empty());
    TypeInto(h, kEntry, "7");
    delivered.clear();
    LeaveControl(h, kEntry);
    EXPECT_EQ(delivered, (std::vector<Delivered>{{h, kEntry, EVENT_COMMIT}}));
}

TEST_F(EngineTest, NumericControlsCoerceEveryValueToTheirRange) {
    const int h = loadQuiet();
    EXPECT_EQ(SetCtrlVal(h, kEntry, 5000), 0);
    EXPECT_EQ(Value(h, kEntry), 1000);
    EXPECT_EQ(SetCtrlVal(h, kEntry, -3), 0);
    EXPECT_EQ(Value(h, kEntry), 1);
    TypeInto(h, kEntry, "0");  // below the range: the entry will not take it
    PressEnter(h, kEntry);
    EXPECT_GE(Value(h, kEntry), 1);

    EXPECT_EQ(SetCtrlVal(h, kMeter, 40), 0);  // a meter pins at its maximum
    EXPECT_EQ(Value(h, kMeter), 11);
    EXPECT_EQ(SetCtrlAttribute(h, kMeter, ATTR_MAX_VALUE, 5), 0);
    EXPECT_EQ(Value(h, kMeter), 5);
    EXPECT_EQ(SetCtrlAttribute(h, kMeter, ATTR_MAX_VALUE, 22), 0);
    EXPECT_EQ(SetCtrlVal(h, kMeter, 17), 0);
    EXPECT_EQ(ShownText(h, kMeter), "17 / s");
    EXPECT_EQ(SetCtrlAttribute(h, kMeter, ATTR_MAX_VALUE, -1), engine::kBadValue);
}

TEST_F(EngineTest, IndicatorsKeepTheExactValueAndShowTheResourceFormat) {
    const int h = loadQuiet();
    EXPECT_EQ(SetCtrlVal(h, kVolts, 2.4993896484375), 0);
    EXPECT_EQ(Value(h, kVolts), 2.4993896484375);
    EXPECT_EQ(ShownText(h, kVolts), "2.4994 V");
    EXPECT_EQ(SetCtrlVal(h, kLarge, 1.25), 0);
    EXPECT_EQ(ShownText(h, kLarge), "1.2500");
    EXPECT_EQ(SetCtrlVal(h, kVolts, std::nan("")), engine::kBadValue);
    EXPECT_EQ(SetCtrlVal(h, kChart, 1), engine::kWrongControlKind);
    EXPECT_EQ(SetCtrlVal(h, 99, 1), engine::kBadControl);
    EXPECT_EQ(SetCtrlVal(h + 100, kVolts, 1), engine::kBadPanel);
}

TEST_F(EngineTest, ADimmedControlCannotBeUsedAndBadAttributesChangeNothing) {
    const int h = loadQuiet();
    EXPECT_EQ(SetCtrlAttribute(h, kSelector, ATTR_DIMMED, 1), 0);
    ChooseItem(h, kSelector, 0);
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(SetCtrlAttribute(h, kTimer, ATTR_INTERVAL, 0.0), engine::kBadValue);
    EXPECT_EQ(SetCtrlAttribute(h, kTimer, ATTR_INTERVAL, -1.0), engine::kBadValue);
    EXPECT_EQ(Interval(h, kTimer), 0.01);
    EXPECT_EQ(SetCtrlAttribute(h, kEntry, ATTR_INTERVAL, 1.0), engine::kWrongControlKind);
    EXPECT_EQ(SetCtrlAttribute(h, kEntry, 12345, 1), engine::kBadAttribute);
}

TEST_F(EngineTest, ClosingAPanelAsksItsCallbackAndLeavesItUp) {
    const int h = loadQuiet();
    DisplayPanel(h);
    ClosePanel(h);
    EXPECT_EQ(delivered, (std::vector<Delivered>{{h, 0, EVENT_CLOSE}}));
    EXPECT_TRUE(IsShown(h));
}

TEST_F(EngineTest, AStripChartTakesOnePointPerTraceInArrayOrderAndKeepsItsHistory) {
    const int h = loadQuiet();
    for (int scan = 0; scan < 7; ++scan) {
        const double points[6] = {-9, 10.0 + scan, -9, 20.0 + scan, -9, 30.0 + scan};
        ASSERT_EQ(PlotStripChart(h, kChart, points, 3, 1, 1, VAL_DOUBLE), 0);
    }
    // History of 5: the two oldest scans are gone.
    EXPECT_EQ(ChartTrace(h, kChart, 0), (std::vector<double>{12, 13, 14, 15, 16}));
    EXPECT_EQ(ChartTrace(h, kChart, 2), (std::vector<double>{32, 33, 34, 35, 36}));
    const double two[2] = {1, 2};
    EXPECT_EQ(PlotStripChart(h, kChart, two, 2, 0, 0, VAL_DOUBLE), engine::kBadValue);
    EXPECT_EQ(PlotStripChart(h, kChart, two, 3, 0, 0, 3), engine::kBadValue);
    EXPECT_EQ(ChartTrace(h, kChart, 0).size(), 5u);
}

TEST_F(EngineTest, AThousandValuesInAFrameArePaintedOnceAndReadBackExactly) {
    const int h = loadQuiet();
    QWidget* window = engine::FindPanel(h)->window.get();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTest::qWait(100);  // the first frames
    struct Paints : QObject {
        int n = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            n += e->type() == QEvent::Paint;
            return false;
        }
    } volts, large;
    engine::FindControl(h, kVolts)->widget->installEventFilter(&volts);
    auto* digits = engine::FindControl(h, kLarge)->widget->findChild<QLCDNumber*>();
    digits->installEventFilter(&large);
    for (int i = 1; i <= 1000; ++i) {
        ASSERT_EQ(SetCtrlVal(h, kVolts, 1.0 + i * 1e-9), 0);
        ASSERT_EQ(SetCtrlVal(h, kLarge, 2.0 + i * 1e-9), 0);
    }
    EXPECT_EQ(Value(h, kVolts), 1.0 + 1000 * 1e-9);  // every digit, not the four shown
    EXPECT_EQ(Value(h, kLarge), 2.0 + 1000 * 1e-9);
    EXPECT_EQ(ShownText(h, kVolts), "1.0000 V");
    EXPECT_NE(digits->value(), 2.0);  // the digits are made for the frame, not on each value
    QTest::qWait(100);                // six frames at most
    EXPECT_EQ(volts.n, 1);
    EXPECT_EQ(large.n, 1);
    EXPECT_EQ(digits->value(), 2.0);
    // Out of the indicator's range: held to it, and what is read back is what is shown.
    SetCtrlVal(h, kVolts, 7.5);
    EXPECT_EQ(Value(h, kVolts), 2.5);
}

TEST_F(EngineTest, AScanOfTheWrongWidthIsRefusedAndSaidOnce) {
    const int h = loadQuiet();  // its chart has 3 traces
    const double scan[8] = {};
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(PlotStripChart(h, kChart, scan, 8, 0, 0, VAL_DOUBLE), engine::kBadValue);
    EXPECT_EQ(PlotStripChart(h, kChart, scan, 8, 0, 0, VAL_DOUBLE), engine::kBadValue);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("3 traces"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}
