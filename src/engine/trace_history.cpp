#include "engine/trace_history.h"

#include <algorithm>

void TraceHistory::reset(int traces, int capacity) {
    traces_ = std::max(1, traces);
    capacity_ = std::max(1, capacity);
    size_ = head_ = 0;
    data_.assign(static_cast<std::size_t>(traces_) * capacity_, 0.0);
}

void TraceHistory::append(const double* scan) {
    std::copy(scan, scan + traces_, data_.begin() + static_cast<std::ptrdiff_t>(head_) * traces_);
    head_ = (head_ + 1) % capacity_;
    size_ = std::min(size_ + 1, capacity_);
}

std::vector<double> TraceHistory::trace(int t) const {
    std::vector<double> v;
    v.reserve(static_cast<std::size_t>(size_));
    for (int i = 0; i < size_; ++i) v.push_back(at(t, i));
    return v;
}
