// The strip chart's data: the ring of scans and its reduction to pixel columns.
#include <gtest/gtest.h>

#include "engine/trace_history.h"

TEST(TraceHistory, KeepsTheNewestScansInOrderThroughWrapAround) {
    TraceHistory h(2, 4);
    EXPECT_EQ(h.size(), 0);
    for (int i = 0; i < 6; ++i) {
        const double scan[2] = {double(i), 100.0 + i};
        h.append(scan, 0.5 * i);
    }
    EXPECT_EQ(h.size(), 4);
    EXPECT_EQ(h.trace(0), (std::vector<double>{2, 3, 4, 5}));
    EXPECT_EQ(h.trace(1), (std::vector<double>{102, 103, 104, 105}));
    EXPECT_EQ(h.time(0), 1.0);
    EXPECT_EQ(h.time(3), 2.5);
}

TEST(TraceHistory, ReductionToColumnsAtItsEdges) {
    TraceHistory h(1, 10);
    EXPECT_TRUE(ReduceToColumns(h, 0, 10).empty());
    EXPECT_EQ(PointAtColumn(h, 9, 10), -1);

    const double v = 1.5;
    h.append(&v);  // one point: it stands at the right edge
    auto spans = ReduceToColumns(h, 0, 10);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].column, 9);
    EXPECT_EQ(spans[0].low, 1.5);
    EXPECT_EQ(PointAtColumn(h, 9, 10), 0);
    EXPECT_EQ(PointAtColumn(h, 8, 10), -1);
    EXPECT_TRUE(ReduceToColumns(h, 1, 10).empty());  // no such trace
}

TEST(TraceHistory, MorePointsThanColumnsKeepEverySpike) {
    TraceHistory h(1, 1000);
    for (int i = 0; i < 1000; ++i) {
        const double v = (i == 537) ? 2.4 : (i == 538 ? -0.3 : 1.0);
        h.append(&v);
    }
    const auto spans = ReduceToColumns(h, 0, 400);
    ASSERT_EQ(spans.size(), 400u);
    int spikes = 0, dips = 0;
    for (std::size_t k = 0; k < spans.size(); ++k) {
        EXPECT_EQ(spans[k].column, static_cast<int>(k));
        spikes += spans[k].high == 2.4;
        dips += spans[k].low == -0.3;
    }
    EXPECT_EQ(spikes, 1);
    EXPECT_EQ(dips, 1);
    // The newest point of each column is the one read out there.
    EXPECT_EQ(PointAtColumn(h, 399, 400), 999);
    EXPECT_EQ(PointAtColumn(h, 0, 400), 2);  // positions 0, 1 and 2 share column 0
}
