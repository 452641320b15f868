// What the operator's actions send the program, and the program's value operations.
#include <gtest/gtest.h>

#include <cmath>

#include "recording_callbacks.h"

using namespace engine::testing;

TEST_F(EngineTest, OperatorActionsSendTheirEventsAndOnlyThose) {
    const int h = loadQuiet();
    EXPECT_EQ(Value(h, kSelector), -1);  // no choice made yet
    EXPECT_EQ(DisplayPanel(h), 0);
    const Delivered chose{h, kSelector, EVENT_VAL_CHANGED}, picked{h, kSelector, EVENT_COMMIT};
    const Delivered changed{h, kEntry, EVENT_VAL_CHANGED}, committed{h, kEntry, EVENT_COMMIT};
    const struct {
        const char* what;
        std::function<void()> act;
        std::vector<Delivered> expected;
        double entry;  // the entry's value afterwards
    } cases[] = {
        {"choose", [&] { ChooseItem(h, kSelector, 1); }, {chose, picked}, 10},
        {"choose the same again", [&] { ChooseItem(h, kSelector, 1); }, {picked}, 10},
        {"the program chooses", [&] { SetCtrlVal(h, kSelector, 2); }, {}, 10},
        {"type", [&] { TypeInto(h, kEntry, "20"); }, {changed, changed}, 20},
        {"Enter", [&] { PressEnter(h, kEntry); }, {committed}, 20},
        {"arrow up", [&] { PressKey(h, kEntry, Qt::Key_Up); }, {changed, committed}, 21},
        {"leave unedited", [&] { LeaveControl(h, kEntry); }, {}, 21},
        {"type", [&] { TypeInto(h, kEntry, "7"); }, {changed}, 7},
        {"leave edited", [&] { LeaveControl(h, kEntry); }, {committed}, 7},
        {"the program sets", [&] { SetCtrlVal(h, kEntry, 8); }, {}, 8},
        {"close", [&] { ClosePanel(h); }, {{h, 0, EVENT_CLOSE}}, 8},
        {"dim the selector", [&] { SetCtrlAttribute(h, kSelector, ATTR_DIMMED, 1); }, {}, 8},
        {"choose dimmed", [&] { ChooseItem(h, kSelector, 0); }, {}, 8},
    };
    for (const auto& c : cases) {
        delivered.clear();
        c.act();
        EXPECT_EQ(delivered, c.expected) << c.what;
        EXPECT_EQ(Value(h, kEntry), c.entry) << c.what;
    }
    EXPECT_TRUE(IsShown(h));  // closing asks the panel's callback, which leaves it up
}

TEST_F(EngineTest, ValuesAreHeldToEachControlBadOnesRefusedAndAChartTakesItsPointsInArrayOrder) {
    const int h = loadQuiet();
    const double none = std::nan("");
    const struct {
        int control, attribute;  // attribute 0: the value
        double value;
        int result;
        double read;        // the value afterwards (none: not read)
        const char* shown;  // the text afterwards (nullptr: not read)
    } cases[] = {
        {kSelector, 0, 2, engine::kOk, 2, nullptr},
        {kSelector, 0, 3, engine::kBadValue, 2, nullptr},  // past its last item
        {kEntry, 0, 5000, engine::kOk, 1000, nullptr},     // held to its range
        {kEntry, 0, -3, engine::kOk, 1, nullptr},
        {kVolts, 0, 2.4993896484375, engine::kOk, 2.4993896484375, "2.4994 V"},
        {kVolts, 0, 7.5, engine::kOk, 2.5, "2.5000 V"},
        {kVolts, 0, none, engine::kBadValue, 2.5, nullptr},
        {kLarge, 0, 1.25, engine::kOk, 1.25, "1.2500"},
        {kMeter, 0, 40, engine::kOk, 11, nullptr},  // pinned at its maximum
        {kMeter, ATTR_MAX_VALUE, 5, engine::kOk, 5, nullptr},
        {kMeter, 0, 4, engine::kOk, 4, "4 / s"},
        {kMeter, ATTR_MAX_VALUE, -1, engine::kBadValue, 4, nullptr},
        {kChart, 0, 1, engine::kWrongControlKind, none, nullptr},
        {kEntry, ATTR_INTERVAL, 1, engine::kWrongControlKind, 1, nullptr},
        {kEntry, 12345, 1, engine::kBadAttribute, 1, nullptr},
        {99, 0, 1, engine::kBadControl, none, nullptr},
    };
    for (const auto& c : cases) {
        const int result = c.attribute ? SetCtrlAttribute(h, c.control, c.attribute, c.value)
                                       : SetCtrlVal(h, c.control, c.value);
        EXPECT_EQ(result, c.result) << c.control << " " << c.value;
        if (!std::isnan(c.read)) {
            EXPECT_EQ(Value(h, c.control), c.read) << c.control;
        }
        if (c.shown) {
            EXPECT_EQ(ShownText(h, c.control), c.shown);
        }
    }
    EXPECT_EQ(SetCtrlVal(h + 100, kVolts, 1), engine::kBadPanel);
    EXPECT_TRUE(delivered.empty());  // the program's own changes send no event

    // A strip chart takes one point per trace in array order and keeps its history.
    for (int scan = 0; scan < 7; ++scan) {
        const double points[6] = {-9, 10.0 + scan, -9, 20.0 + scan, -9, 30.0 + scan};
        ASSERT_EQ(PlotStripChart(h, kChart, points, 3, 1, 1, VAL_DOUBLE), 0);
    }
    // History of 5: the two oldest scans are gone.
    EXPECT_EQ(ChartTrace(h, kChart, 0), (std::vector<double>{12, 13, 14, 15, 16}));
    EXPECT_EQ(ChartTrace(h, kChart, 2), (std::vector<double>{32, 33, 34, 35, 36}));
    const double scan[8] = {};
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(PlotStripChart(h, kChart, scan, 8, 0, 0, VAL_DOUBLE), engine::kBadValue);
    EXPECT_EQ(PlotStripChart(h, kChart, scan, 8, 0, 0, VAL_DOUBLE), engine::kBadValue);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("3 traces"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;  // said once
    EXPECT_EQ(PlotStripChart(h, kChart, scan, 3, 0, 0, 3), engine::kBadValue);
    EXPECT_EQ(ChartTrace(h, kChart, 0).size(), 5u);
}
