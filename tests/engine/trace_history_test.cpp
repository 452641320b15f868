// The strip chart's data: the ring of scans, kept compactly, and its reduction to pixel
// columns over a span of time.
#include <gtest/gtest.h>

#include "engine/trace_history.h"

namespace {
constexpr double kStep = 2.5 / 4096;
}

TEST(TraceHistory, KeepsTheNewestScansInOrderAndEveryConverterCodeExactly) {
    TraceHistory h(2, 4);
    EXPECT_EQ(h.size(), 0);
    for (int i = 0; i < 6; ++i) {
        const double scan[2] = {i * kStep, (4095 - i) * kStep};
        h.append(scan, 0.5 * i);
    }
    EXPECT_EQ(h.size(), 4);
    EXPECT_EQ(h.trace(0), (std::vector<double>{2 * kStep, 3 * kStep, 4 * kStep, 5 * kStep}));
    EXPECT_EQ(h.at(1, 3), 4090 * kStep);  // 2.496337890625 V, to the last digit
    EXPECT_EQ(h.time(0), 1.0);
    EXPECT_EQ(h.time(3), 2.5);
    EXPECT_EQ(h.firstAtOrAfter(1.7), 2);
    EXPECT_EQ(h.firstAtOrAfter(9), 4);
}

TEST(TraceHistory, TenMinutesAtAThousandScansASecondFitInSixteenMegabytes) {
    TraceHistory h(8, 600000);
    const double scan[8] = {};
    for (int i = 0; i < 600000; ++i) h.append(scan, i * 0.001);
    EXPECT_LE(h.bytes(), 16u << 20);
    EXPECT_EQ(h.size(), 600000);
}

TEST(TraceHistory, ASpanReducesToColumnsKeepingEverySpikeAndTheNewestAtTheRight) {
    TraceHistory h(1, 100000);
    EXPECT_TRUE(ReduceToColumns(h, 0, 10, 0, 1).empty());
    EXPECT_EQ(PointAtColumn(h, 9, 10, 0, 1), -1);
    // 100 s at 1000 scans/s, a flat 1 V with one spike and one dip.
    for (int i = 0; i < 100000; ++i) {
        const double v = i == 53700 ? 4000 * kStep : (i == 53800 ? 0.0 : 1638 * kStep);
        h.append(&v, i * 0.001);
    }
    // The last 50 s over 400 columns: 125 ms, 125 points, per column.
    const auto spans = ReduceToColumns(h, 0, 400, 99.999, 50);
    ASSERT_EQ(spans.size(), 400u);
    int spikes = 0, dips = 0;
    for (std::size_t k = 0; k < spans.size(); ++k) {
        EXPECT_EQ(spans[k].column, static_cast<int>(k));
        spikes += spans[k].high == 4000 * kStep;
        dips += spans[k].low == 0.0;
    }
    EXPECT_EQ(spikes, 1);
    EXPECT_EQ(dips, 1);
    EXPECT_EQ(spans[3].high, 1638 * kStep);  // 53.7 s is 3.7 s into the span: column 29
    EXPECT_EQ(spans[29].high, 4000 * kStep);
    // The point read out at a column: the newest taken in it.
    EXPECT_EQ(PointAtColumn(h, 399, 400, 99.999, 50), 99999);
    EXPECT_EQ(PointAtColumn(h, 0, 400, 99.999, 50), 50123);
    // A span reaching before the first point leaves its left columns empty.
    const auto early = ReduceToColumns(h, 0, 100, 0.999, 10);
    ASSERT_FALSE(early.empty());
    EXPECT_EQ(early.front().column, 90);
    EXPECT_EQ(PointAtColumn(h, 89, 100, 0.999, 10), -1);
    EXPECT_TRUE(ReduceToColumns(h, 1, 10, 99.999, 1).empty());  // no such trace
}

TEST(TraceHistory, TheRingWrittenOverStillReducesRight) {
    // A ring smaller than what went through it: summaries of written-over points are not used.
    TraceHistory h(1, 1000);
    for (int i = 0; i < 2600; ++i) {
        const double v = (i % 1000 == 999 ? 100 : 10) * kStep;
        h.append(&v, i * 0.01);
    }
    const auto all = ReduceToColumns(h, 0, 1, 25.99, 100);  // everything held: 16.00 to 25.99 s
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].low, 10 * kStep);
    EXPECT_EQ(all[0].high, 100 * kStep);                   // the spike at 19.99 s
    const auto late = ReduceToColumns(h, 0, 1, 25.99, 5);  // 21 s on: no spike
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].high, 10 * kStep);
}

TEST(TraceHistory, StatisticsOfASpanAgreeWithThePointsInIt) {
    TraceHistory h(2, 1000);
    // 10 s at 100 scans/s: trace 0 counts up 0..999 steps, trace 1 is 7 steps throughout.
    for (int i = 0; i < 1000; ++i) {
        const double scan[2] = {i * kStep, 7 * kStep};
        h.append(scan, i * 0.01);
    }
    auto s = h.statistics(9.99, 2);  // the last 2 s: points 799 (at 7.99 s) to 999
    EXPECT_EQ(s[0].count, 201);
    EXPECT_EQ(s[0].low, 799 * kStep);
    EXPECT_EQ(s[0].high, 999 * kStep);
    EXPECT_DOUBLE_EQ(s[0].mean, 899 * kStep);
    EXPECT_EQ(s[1].low, 7 * kStep);
    EXPECT_DOUBLE_EQ(s[1].mean, 7 * kStep);
    s = h.statistics(9.99, 100);  // everything
    EXPECT_EQ(s[0].count, 1000);
    EXPECT_DOUBLE_EQ(s[0].mean, 499.5 * kStep);
    EXPECT_EQ(h.statistics(-5, 1)[0].count, 0);
}

TEST(TraceHistory, APointAtTheVeryEndOfTheSpanStaysInTheLastColumn) {
    TraceHistory h(1, 10);
    for (int i = 0; i < 10; ++i) {
        const double v = i * kStep;
        h.append(&v, i * 0.1);
    }
    const auto spans = ReduceToColumns(h, 0, 3, 0.9, 0.3);  // the newest lies on the span's end
    ASSERT_FALSE(spans.empty());
    EXPECT_EQ(spans.back().column, 2);
    for (const auto& c : spans) EXPECT_LT(c.column, 3);
}
