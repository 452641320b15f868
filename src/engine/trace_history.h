// The points a strip chart holds: a fixed-size ring of scans, oldest dropped first, each scan
// one value per trace and the time it arrived.
#pragma once

#include <cstddef>
#include <vector>

class TraceHistory {
  public:
    TraceHistory(int traces, int capacity) { reset(traces, capacity); }
    void reset(int traces, int capacity);
    int traces() const { return traces_; }
    int capacity() const { return capacity_; }
    int size() const { return size_; }
    // One value for every trace, trace 0 first; O(1), nothing allocated.
    void append(const double* scan, double seconds = 0);
    // Point i of a trace, 0 the oldest held.
    double at(int trace, int i) const {
        return data_[static_cast<std::size_t>(slot(i)) * traces_ + trace];
    }
    double time(int i) const { return times_[static_cast<std::size_t>(slot(i))]; }
    std::vector<double> trace(int t) const;

  private:
    int slot(int i) const { return (head_ + capacity_ - size_ + i) % capacity_; }
    int traces_ = 0, capacity_ = 0, size_ = 0, head_ = 0;
    std::vector<double> data_;  // capacity_ scans, each traces_ values
    std::vector<double> times_;
};

// The lowest and highest point of a trace that fall in one pixel column.
struct ColumnSpan {
    int column;
    double low, high;
};

// The full history spans `columns` pixel columns with the newest point in the last one; point
// i of n sits at position capacity - n + i, in column position * columns / capacity. Every
// column that holds points gets its lowest and highest, so a one-point spike survives however
// many points share its column.
std::vector<ColumnSpan> ReduceToColumns(const TraceHistory& history, int trace, int columns);
// The point shown at a column: the newest at or left of it; -1 where there is none yet.
int PointAtColumn(const TraceHistory& history, int column, int columns);
