// The window a frozen chart shows on its history: zoom and pan against literal spans, and its
// column summary against one made from the points alone.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/chart/chart_view.h"

TEST(ChartView, ZoomKeepsThePointedTimeInPlaceAndPanStaysWithinTheHistory) {
    // A history from 100 s to 700 s, frozen showing its last 60 s: 640 to 700.
    const struct {
        const char* what;
        double zoom, at, pan;  // zoom 0: none
        double start, end;
    } steps[] = {
        {"twice as close around 670, in the middle", 2, 670, 0, 655, 685},
        {"twice as close around the right edge", 2, 685, 0, 670, 685},
        {"four times wider around 682, a fifth in from the right", 0.25, 682, 0, 634, 694},
        {"back by 100 s", 0, 0, -100, 534, 594},
        {"back past the first scan: held there", 0, 0, -1000, 100, 160},
        {"on past the newest: held there", 0, 0, 5000, 640, 700},
        {"wider than the history: all of it", 1e-3, 650, 0, 100, 700},
        {"closer than 10 ms: 10 ms, 400 in the middle", 1e9, 400, 0, 399.995, 400.005},
        {"no zoom at a time that is none", 2, NAN, 0, 399.995, 400.005},
    };
    ChartView v;
    v.reset(100, 700, 60);
    for (const auto& s : steps) {
        if (s.zoom != 0) v.zoom(s.zoom, s.at);
        v.pan(s.pan);
        EXPECT_NEAR(v.start(), s.start, 1e-9) << s.what;
        EXPECT_NEAR(v.end(), s.end, 1e-9) << s.what;
    }
    v.reset(100, 700, 60);
    v.pan(-300);  // 340 to 400 of 100 to 700
    EXPECT_NEAR(v.inHistory().first, 0.4, 1e-12);
    EXPECT_NEAR(v.inHistory().second, 0.5, 1e-12);
    v.reset(100, 130, 60);  // a span longer than what is held: as the live chart shows it
    EXPECT_EQ(v.start(), 70);
    v.zoom(0.5, 100);
    EXPECT_EQ(v.span(), 60);
}

TEST(ChartView, ItsColumnsAreThoseOfThePointsUpToItsEndAlone) {
    // 20000 scans of 3 traces, 1 ms apart with a hole before 12345, and windows over them:
    // columns of many points (read from the blocks) and of few, ending anywhere.
    TraceHistory h(3, 20000, 1.0);
    for (int i = 0; i < 20000; ++i) {
        const double scan[3] = {std::fmod(i * 7919.0, 1000.0), (i / 100) % 50 * 1.0, i % 3 - 1.0};
        h.append(scan, i * 0.001 + (i >= 12345) * 0.5,
                 i == 12345 ? TraceHistory::Before::gap : TraceHistory::Before::scans);
    }
    ViewBlocks blocks;
    blocks.build(h);
    const struct {
        int columns;
        double width, end;
    } windows[] = {{1000, 0.02, 20.5}, {1000, 0.02, 12.0},    {300, 0.0007, 12.3456},
                   {50, 0.5, 20.499},  {1000, 0.001, 0.0005}, {7, 3.0, 19.9}};
    for (const auto& w : windows) {
        ColumnSummary fast, slow;
        fast.configure(3, w.columns, w.width);
        SummariseView(fast, h, blocks, w.end);
        // The same from a history holding only the points up to the end.
        TraceHistory cut(3, 20000, 1.0);
        for (int i = 0; i < h.size() && h.time(i) <= w.end; ++i) {
            const double scan[3] = {h.at(0, i), h.at(1, i), h.at(2, i)};
            cut.append(scan, h.time(i), h.before(i));
        }
        slow.configure(3, w.columns, w.width);
        cut.summarise(slow);
        const long last = slow.columnOf(w.end);
        int held = 0;
        for (long k = last - w.columns + 1; k <= last; ++k) {
            ASSERT_EQ(fast.has(k), slow.has(k)) << w.end << " column " << k;
            if (!slow.has(k)) continue;
            ++held;
            EXPECT_EQ(fast.afterGap(k), slow.afterGap(k)) << k;
            for (int t = 0; t < 3; ++t) {
                EXPECT_EQ(fast.low(k, t), slow.low(k, t)) << w.end << " column " << k;
                EXPECT_EQ(fast.high(k, t), slow.high(k, t)) << w.end << " column " << k;
            }
        }
        EXPECT_GT(held, 0) << w.end;
    }
}
