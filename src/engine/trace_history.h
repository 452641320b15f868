// The points a strip chart holds: a ring of scans, oldest dropped first, each scan one value
// per trace and the time it was taken. Values are kept in 16 bits as whole multiples of the
// chart's resolution (a 12-bit converter's step: every value it gives is kept exactly; others
// to the nearest step, within +-32767 steps), so ten minutes at 1000 scans a second of eight
// traces take under 16 MB. Every 64 points also keep each trace's lowest and highest and their
// time range, so a long span reduces to pixel columns without visiting every point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The lowest and highest point of a trace that fall in one pixel column.
struct ColumnSpan {
    int column;
    double low, high;
};

class TraceHistory {
  public:
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
    // Memory grows with the points held, up to the capacity; then nothing is allocated.
    void append(const double* scan, double seconds = 0);
    // Point i of a trace, 0 the oldest held.
    double at(int trace, int i) const { return code(trace, i) * resolution_; }
    double time(int i) const { return times_[slot(i)]; }
    std::vector<double> trace(int t) const;
    // The first point taken at or after `seconds`; size() when none.
    int firstAtOrAfter(double seconds) const;
    // Bytes held for the points and their summaries.
    std::size_t bytes() const;
    // Lowest, highest and mean of each trace over the span of `span` seconds ending at `end`;
    // count 0 when no point lies there.
    struct Statistics {
        double low = 0, high = 0, mean = 0;
        long count = 0;
    };
    std::vector<Statistics> statistics(double end, double span) const;
    // ReduceToColumns for every trace at once, in one walk over the points.
    std::vector<std::vector<ColumnSpan>> reduce(int columns, double end, double span) const;

    std::int16_t code(int trace, int i) const { return codes_[slot(i) * traces_ + trace]; }

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
    std::vector<Block> blocks_;
    std::vector<std::int16_t> lows_, highs_;  // per block, traces_ each
    std::vector<std::int32_t> sums_;          // per block, traces_ each
};

// The points of a trace taken in the span of `span` seconds that ends at `end`, over `columns`
// pixel columns: a point taken at t sits in column floor((t - (end - span)) / span * columns),
// the newest at the right. Every column that holds points gets its lowest and highest, so a
// one-point spike survives however many points share its column.
std::vector<ColumnSpan> ReduceToColumns(const TraceHistory& history, int trace, int columns,
                                        double end, double span);
// The point shown at a column: the newest taken in it or left of it within the span; -1 where
// there is none.
int PointAtColumn(const TraceHistory& history, int column, int columns, double end, double span);
