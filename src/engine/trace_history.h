// The points a strip chart holds: a fixed-size ring per trace, oldest dropped first.
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
    // One value for every trace, trace 0 first.
    void append(const double* scan);
    // Point i of a trace, 0 the oldest held.
    double at(int trace, int i) const {
        return data_[static_cast<std::size_t>(slot(i)) * traces_ + trace];
    }
    std::vector<double> trace(int t) const;

  private:
    int slot(int i) const { return (head_ + capacity_ - size_ + i) % capacity_; }
    int traces_ = 0, capacity_ = 0, size_ = 0, head_ = 0;
    std::vector<double> data_;  // capacity_ scans, each traces_ values
};
