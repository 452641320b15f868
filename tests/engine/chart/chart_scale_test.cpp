#include <gtest/gtest.h>

#include <cmath>

#include "engine/chart/chart_scale.h"

using engine::NiceScale;

TEST(ChartScale, StepsOfOneTwoOrFiveNeverBelowZeroWithoutAValueThereAndAlwaysAFewFinite) {
    const struct {
        double low, high;
        double wantLow, wantHigh, wantStep;
        int decimals;
    } cases[] = {
        {0.0, 2.49, 0.0, 2.5, 0.5, 1},     // the whole converter range
        {0.02, 2.61, 0.0, 3.0, 0.5, 1},    // no tick below zero for data above it
        {1.2, 1.25, 1.2, 1.25, 0.01, 2},   // a small swing gets fine steps
        {2.49, 2.49, 2.4, 2.5, 0.1, 1},    // one value: a line either side
        {0.0, 0.0, 0.0, 0.2, 0.2, 1},      // all zero, as an unplugged input reads
        {-1.3, -0.2, -1.4, -0.2, 0.2, 1},  // below zero only: never above it
        {-0.3, 0.4, -0.3, 0.4, 0.1, 1},   {0.0, 1000.0, 0.0, 1000.0, 200.0, 0},
    };
    for (const auto& c : cases) {
        const engine::ChartScale s = NiceScale(c.low, c.high);
        EXPECT_NEAR(s.low, c.wantLow, 1e-12) << c.low << ".." << c.high;
        EXPECT_NEAR(s.high, c.wantHigh, 1e-12) << c.low << ".." << c.high;
        EXPECT_NEAR(s.step, c.wantStep, 1e-12) << c.low << ".." << c.high;
        EXPECT_EQ(s.decimals, c.decimals) << c.low << ".." << c.high;
    }
    // Numbers at the edges of the doubles still give a few finite steps.
    const std::pair<double, double> extremes[] = {
        {-1.7e308, 1.7e308}, {1, 1.0000000000000002}, {0, 1e-300},       {1e-310, 1e-310},
        {-1e300, -1e300},    {5e15, 5e15 + 2},        {std::nan(""), 1},
    };
    for (const auto& [low, high] : extremes) {
        const engine::ChartScale s = NiceScale(low, high);
        EXPECT_TRUE(std::isfinite(s.step) && s.step > 0 && s.low < s.high) << low << ".." << high;
        EXPECT_LE((s.high - s.low) / s.step, 10) << low << ".." << high;
        EXPECT_TRUE(s.decimals >= 0 && s.decimals <= 15) << low << ".." << high;
    }
}
