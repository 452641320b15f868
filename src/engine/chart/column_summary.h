// Each trace's lowest and highest point per pixel column of the strip chart, on columns fixed
// in time: column k holds the points taken in [k * width, (k + 1) * width) seconds. The
// picture scrolls by whole columns, so a column once past never changes: a scan updates only
// the newest, and a frame reads the last count() columns without visiting a single point. A
// column whose first point came after a hole in the scans is marked: the trace is not joined
// to the column before it.
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

class ColumnSummary {
  public:
    // Empty, `count` columns of `width` seconds for `traces` traces.
    void configure(int traces, int count, double width);
    int traces() const { return traces_; }
    int count() const { return count_; }
    double width() const { return width_; }
    // Empties every column (TraceHistory::summarise fills them afresh).
    void clear();
    // One scan's codes, taken at `seconds`, no earlier than the scan before; `afterGap`: no
    // scan was made for a while before it.
    void add(const std::int16_t* codes, double seconds, bool afterGap = false) {
        add(codes, codes, seconds, afterGap);
    }
    // The same for a span of scans whose lowest and highest codes are given.
    void add(const std::int16_t* lows, const std::int16_t* highs, double seconds, bool afterGap);

    // The column a time falls in. Times beyond kFarColumn columns either way (no clock a
    // chart is fed from gets there) are held there, so that counting columns from it cannot
    // overflow.
    long columnOf(double seconds) const {
        const double k = std::floor(seconds / width_);
        if (!(k > -static_cast<double>(kFarColumn))) return -kFarColumn;
        if (k >= static_cast<double>(kFarColumn)) return kFarColumn;
        return static_cast<long>(k);
    }
    static constexpr long kFarColumn = LONG_MAX / 4;
    // Whether column k is still held and has points; then each trace's lowest and highest
    // code in it.
    bool has(long k) const { return count_ > 0 && index_[slot(k)] == k; }
    std::int16_t low(long k, int trace) const { return low_[slot(k) * traces_ + trace]; }
    std::int16_t high(long k, int trace) const { return high_[slot(k) * traces_ + trace]; }
    const std::int16_t* lows(long k) const { return &low_[slot(k) * traces_]; }
    const std::int16_t* highs(long k) const { return &high_[slot(k) * traces_]; }
    // Whether column k begins after a hole in the scans.
    bool afterGap(long k) const { return gap_[slot(k)]; }

    std::size_t bytes() const {
        return index_.capacity() * sizeof(long) + gap_.capacity() / 8 +
               (low_.capacity() + high_.capacity()) * sizeof(std::int16_t);
    }

  private:
    std::size_t slot(long k) const {
        return static_cast<std::size_t>(((k % count_) + count_) % count_);
    }
    int traces_ = 0, count_ = 0;
    double width_ = 1;
    std::vector<long> index_;               // per slot: the column it holds, LONG_MIN none
    std::vector<bool> gap_;                 // per slot: its first point came after a hole
    std::vector<std::int16_t> low_, high_;  // per slot, traces_ each
};
