// The strip chart's data: the ring of scans, kept compactly, and its summary per pixel column,
// kept up to date scan by scan.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/chart/column_summary.h"
#include "engine/chart/trace_history.h"

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

TEST(ColumnSummary, EachColumnHoldsTheLowestAndHighestOfItsPointsAndKeepsEverySpike) {
    TraceHistory h(2, 100000);
    ColumnSummary live;
    live.configure(2, 400, 0.125);  // the last 50 s over 400 columns: 125 points a column
    // 100 s at 1000 scans/s, a flat 1 V with one spike and one dip; trace 1 counts up.
    for (int i = 0; i < 100000; ++i) {
        const double v = i == 93700 ? 4000 * kStep : (i == 93800 ? 0.0 : 1638 * kStep);
        const double scan[2] = {v, (i % 4000) * kStep};
        h.append(scan, i * 0.001);
        live.add(h.codes(h.size() - 1), i * 0.001);
    }
    ColumnSummary rebuilt;
    rebuilt.configure(2, 400, 0.125);
    rebuilt.rebuild(h);
    const long newest = live.columnOf(99.999);
    int spikes = 0, dips = 0;
    for (long k = newest - 399; k <= newest; ++k) {
        // The independent answer: every point whose time falls in the column.
        std::int16_t low[2] = {32767, 32767}, high[2] = {-32767, -32767};
        for (int i = h.firstAtOrAfter(k * 0.125); i < h.size() && h.time(i) < (k + 1) * 0.125; ++i)
            for (int t = 0; t < 2; ++t) {
                low[t] = std::min(low[t], h.code(t, i));
                high[t] = std::max(high[t], h.code(t, i));
            }
        ASSERT_TRUE(live.has(k) && rebuilt.has(k)) << k;
        for (int t = 0; t < 2; ++t) {
            EXPECT_EQ(live.low(k, t), low[t]) << k;
            EXPECT_EQ(live.high(k, t), high[t]) << k;
            EXPECT_EQ(rebuilt.low(k, t), low[t]) << k;
            EXPECT_EQ(rebuilt.high(k, t), high[t]) << k;
        }
        spikes += live.high(k, 0) == 4000;
        dips += live.low(k, 0) == 0;
    }
    EXPECT_EQ(spikes, 1);
    EXPECT_EQ(dips, 1);
    EXPECT_FALSE(live.has(newest - 400));  // scrolled out of the picture
    EXPECT_FALSE(live.has(newest + 1));
}

TEST(ColumnSummary, ColumnsWithoutScansAreEmptyNotLeftOverFromTheRing) {
    TraceHistory h(1, 100);
    ColumnSummary c;
    c.configure(1, 10, 1.0);
    for (double t : {0.5, 1.5, 13.5}) {  // then nothing for 12 s: the ring went round
        const double v = t * kStep;
        h.append(&v, t);
        c.add(h.codes(h.size() - 1), t);
    }
    EXPECT_TRUE(c.has(13));
    for (long k = 4; k < 13; ++k) EXPECT_FALSE(c.has(k)) << k;
    EXPECT_FALSE(c.has(3));  // its slot holds column 13 now
}

TEST(TraceHistory, TheRingWrittenOverStillGivesRightStatistics) {
    // A ring smaller than what went through it: summaries of written-over points are not used.
    TraceHistory h(1, 1000);
    for (int i = 0; i < 2600; ++i) {
        const double v = (i % 1000 == 999 ? 100 : 10) * kStep;
        h.append(&v, i * 0.01);
    }
    const double end = h.time(h.size() - 1);
    const auto all = h.statistics(end, 100);  // everything held: 16.00 to 25.99 s
    EXPECT_EQ(all[0].count, 1000);
    EXPECT_EQ(all[0].low, 10 * kStep);
    EXPECT_EQ(all[0].high, 100 * kStep);                  // the spike at 19.99 s
    EXPECT_EQ(h.statistics(end, 5)[0].high, 10 * kStep);  // 21 s on: no spike
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
