// The points a strip chart holds: a ring of scans, oldest dropped first, each scan one value
// per trace and the time it was taken. Values are kept in 16 bits as whole multiples of the
// chart's resolution (a 12-bit converter's step: every value it gives is kept exactly; others
// to the nearest step, within +-32767 steps), so ten minutes at 1000 scans a second of eight
// traces take under 16 MB. Every 64 points also keep each trace's lowest, highest and sum and
// their squares and time range, so the statistics of a long span need not visit every point. A
// point that came after a hole in the scans (none for more than 1.5 periods) carries a mark, with
// the hole's cause when it is known: the chart draws nothing across it, and its exports say so.
// The points let go when the ring is full are kept as each trace's lowest and highest per
// 10 ms, for ten minutes: faster than the ring holds ten minutes of (above 1000 scans a second
// at the program's 600,000 points), a chart still shows ten minutes whole, in under 3 MB more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/chart/column_summary.h"

class TraceHistory {
  public:
    // What lies between a point and the one before it.
    enum class Before : std::uint8_t { scans, gap, gapDuringPopup };
    TraceHistory(int traces, int capacity, double resolution = 2.5 / 4096) {
        reset(traces, capacity, resolution);
    }
    void reset(int traces, int capacity, double resolution);
    void reset(int traces, int capacity) { reset(traces, capacity, resolution_); }
    int traces() const { return traces_; }
    int capacity() const { return capacity_; }
    int size() const { return size_; }
    double resolution() const { return resolution_; }
    // One value for every trace, trace 0 first, taken at `seconds`; times never go back.
    // Never allocates: the room for the capacity is reserved at reset, and becomes resident
    // as it fills.
    void append(const double* scan, double seconds = 0, Before before = Before::scans);
    // Point i of a trace, 0 the oldest held.
    double at(int trace, int i) const { return code(trace, i) * resolution_; }
    double time(int i) const { return times_[slot(i)]; }
    Before before(int i) const { return marks_[slot(i)]; }
    std::vector<double> trace(int t) const;
    // The first point taken at or after `seconds`; size() when none.
    int firstAtOrAfter(double seconds) const;
    // The summary of the points let go, on columns of kOlderWidth seconds; empty until the
    // ring first lets one go.
    const ColumnSummary& older() const { return older_; }
    static constexpr double kOlderWidth = 0.01;
    static constexpr int kOlderColumns = 60'000;
    // Fills the last columns.count() columns of a summary afresh: from the points held, and
    // before them from the summary of those let go.
    void summarise(ColumnSummary& columns) const;
    // Bytes held for the points and their summaries.
    std::size_t bytes() const;
    // Lowest, highest, mean and standard deviation (of the population) of each trace over the
    // span of `span` seconds ending at `end`; count 0 when no point lies there.
    struct Statistics {
        double low = 0, high = 0, mean = 0, deviation = 0;
        long count = 0;
    };
    std::vector<Statistics> statistics(double end, double span) const;

    std::int16_t code(int trace, int i) const { return codes_[slot(i) * traces_ + trace]; }
    // Point i's codes, one per trace.
    const std::int16_t* codes(int i) const { return &codes_[slot(i) * traces_]; }

  private:
    static constexpr int kBlock = 64;
    struct Block {
        long first = -1;  // sequence number of its first point; -1: none
        int count = 0;
        double firstTime = 0, lastTime = 0;
    };
    std::size_t slot(int i) const {
        return static_cast<std::size_t>((total_ - size_ + i) % capacity_);
    }
    int traces_ = 0, capacity_ = 0, size_ = 0;
    long total_ = 0;  // points ever appended
    double resolution_ = 2.5 / 4096;
    std::vector<std::int16_t> codes_;  // slot-major: each slot traces_ codes
    std::vector<double> times_;
    std::vector<Before> marks_;
    std::vector<Block> blocks_;
    std::vector<std::int16_t> lows_, highs_;  // per block, traces_ each
    std::vector<std::int32_t> sums_;          // per block, traces_ each
    std::vector<std::int64_t> squares_;       // per block, traces_ each: the codes squared
    ColumnSummary older_;
};
