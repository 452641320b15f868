// The strip chart's data: the ring of scans, kept compactly, and its summary per pixel column,
// kept up to date scan by scan.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/chart/column_summary.h"
#include "engine/chart/trace_history.h"

namespace {
constexpr double kStep = 2.5 / 4096;
}

TEST(TraceHistory, TenMinutesAtAThousandScansASecondFitInSixteenMegabytesAndOnlyThreeMore) {
    TraceHistory h(8, 600000);
    const double scan[8] = {};
    for (int i = 0; i < 600000; ++i) h.append(scan, i * 0.001);
    EXPECT_LE(h.bytes(), 16u << 20);
    for (int i = 0; i < 1000; ++i) h.append(scan, 600 + i * 0.001);  // letting points go
    EXPECT_LE(h.bytes(), 19u << 20);
}

TEST(ColumnSummary, TenMinutesShowWholeWhenTheRingHoldsOnlyTheirLastSecond) {
    TraceHistory h(1, 1000);
    // 10 min at 1000 scans/s, 100 steps flat with a spike at 60.005 s and a dip at 570.705 s.
    for (int i = 0; i < 600000; ++i) {
        const double v = (i == 60005 ? 4000 : (i == 570705 ? 0 : 100)) * kStep;
        h.append(&v, i * 0.001);
    }
    ColumnSummary shown;
    shown.configure(1, 400, 1.5);
    h.summarise(shown);
    const long newest = shown.columnOf(599.999);
    for (long k = newest - 399; k <= newest; ++k) {
        ASSERT_TRUE(shown.has(k)) << k;
        const int high = k == shown.columnOf(60.005) ? 4000 : 100;
        const int low = k == shown.columnOf(570.705) ? 0 : 100;
        EXPECT_TRUE(shown.low(k, 0) == low && shown.high(k, 0) == high) << k;
    }
}

TEST(ColumnSummary, EachColumnHoldsTheLowestAndHighestOfItsPointsAndKeepsEverySpike) {
    TraceHistory h(2, 100000);
    ColumnSummary live, rebuilt;
    live.configure(2, 400, 0.125);  // the last 50 s over 400 columns: 125 points a column
    rebuilt.configure(2, 400, 0.125);
    // 100 s at 1000 scans/s, a flat 1 V with one spike and one dip; trace 1 counts up.
    for (int i = 0; i < 100000; ++i) {
        const double v = i == 93700 ? 4000 * kStep : (i == 93800 ? 0.0 : 1638 * kStep);
        const double scan[2] = {v, (i % 4000) * kStep};
        h.append(scan, i * 0.001);
        live.add(h.codes(h.size() - 1), i * 0.001);
    }
    h.summarise(rebuilt);
    const long newest = live.columnOf(99.999);
    for (long k = newest - 399; k <= newest; ++k) {
        // The independent answer: every point whose time falls in the column.
        std::int16_t low[2] = {32767, 32767}, high[2] = {-32767, -32767};
        for (int i = h.firstAtOrAfter(k * 0.125); i < h.size() && h.time(i) < (k + 1) * 0.125; ++i)
            for (int t = 0; t < 2; ++t) {
                low[t] = std::min(low[t], h.code(t, i));
                high[t] = std::max(high[t], h.code(t, i));
            }
        for (const ColumnSummary* c : {&live, &rebuilt}) {
            ASSERT_TRUE(c->has(k)) << k;
            for (int t = 0; t < 2; ++t)
                EXPECT_TRUE(c->low(k, t) == low[t] && c->high(k, t) == high[t]) << k;
        }
    }
    EXPECT_EQ(live.high(live.columnOf(93.7), 0), 4000);  // the spike and the dip, both kept
    EXPECT_EQ(live.low(live.columnOf(93.8), 0), 0);
    // Out of the picture, a slot's column is gone, not left over from the ring.
    EXPECT_FALSE(live.has(newest - 400));
    EXPECT_FALSE(live.has(newest + 1));
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
        const double got[] = {s[0].low, s[0].high, s[1].low, s[1].high};
        const double want[] = {c.low0, c.high0, c.low1, c.high1};
        for (int k = 0; k < 4; ++k) EXPECT_EQ(got[k], want[k] * kStep) << c.end << " " << k;
        EXPECT_NEAR(s[1].mean, c.mean1 * kStep, 1e-9) << c.end << " " << c.span;
    }
}
