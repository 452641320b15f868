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

TEST(TraceHistory, StatisticsOfASpanAgreeWithThePointsInItAfterTheRingWentRound) {
    // 26 s at 100 scans/s into a ring of 10 s: trace 0 is 10 steps with a spike of 100 at the
    // end of every 10 s (9.99, 19.99 s), trace 1 counts up by a step a scan.
    TraceHistory h(2, 1000);
    for (int i = 0; i < 2600; ++i) {
        const double scan[2] = {(i % 1000 == 999 ? 100 : 10) * kStep, i * kStep};
        h.append(scan, i * 0.01);
    }
    const struct {
        double end, span;
        long count;
        double low0, high0, low1, high1, mean1;  // in steps
    } spans[] = {
        {25.995, 100, 1000, 10, 100, 1600, 2599, 2099.5},  // all held, 16.00 s on: one spike
        {25.995, 5, 500, 10, 10, 2100, 2599, 2349.5},      // 21 s on: no spike
        {19.995, 2, 200, 10, 100, 1800, 1999, 1899.5},     // the spike at its end
        {-5, 1, 0, 0, 0, 0, 0, 0},                         // before any point
    };
    for (const auto& c : spans) {
        const auto s = h.statistics(c.end, c.span);
        EXPECT_EQ(s[0].count, c.count) << c.end << " " << c.span;
        if (c.count == 0) continue;
        EXPECT_EQ(s[0].low, c.low0 * kStep) << c.end << " " << c.span;
        EXPECT_EQ(s[0].high, c.high0 * kStep) << c.end << " " << c.span;
        EXPECT_EQ(s[1].low, c.low1 * kStep) << c.end << " " << c.span;
        EXPECT_EQ(s[1].high, c.high1 * kStep) << c.end << " " << c.span;
        EXPECT_NEAR(s[1].mean, c.mean1 * kStep, 1e-9) << c.end << " " << c.span;
    }
}
