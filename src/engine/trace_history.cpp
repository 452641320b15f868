#include "engine/trace_history.h"

#include <algorithm>

void TraceHistory::reset(int traces, int capacity) {
    traces_ = std::max(1, traces);
    capacity_ = std::max(1, capacity);
    size_ = head_ = 0;
    data_.assign(static_cast<std::size_t>(traces_) * capacity_, 0.0);
    times_.assign(static_cast<std::size_t>(capacity_), 0.0);
}

void TraceHistory::append(const double* scan, double seconds) {
    std::copy(scan, scan + traces_, data_.begin() + static_cast<std::ptrdiff_t>(head_) * traces_);
    times_[static_cast<std::size_t>(head_)] = seconds;
    head_ = (head_ + 1) % capacity_;
    size_ = std::min(size_ + 1, capacity_);
}

std::vector<double> TraceHistory::trace(int t) const {
    std::vector<double> v;
    v.reserve(static_cast<std::size_t>(size_));
    for (int i = 0; i < size_; ++i) v.push_back(at(t, i));
    return v;
}

std::vector<ColumnSpan> ReduceToColumns(const TraceHistory& history, int trace, int columns) {
    std::vector<ColumnSpan> spans;
    const int n = history.size(), capacity = history.capacity();
    if (n == 0 || columns <= 0 || trace < 0 || trace >= history.traces()) return spans;
    spans.reserve(static_cast<std::size_t>(std::min(n, columns)));
    for (int i = 0; i < n; ++i) {
        const long position = capacity - n + i;
        const int column = static_cast<int>(position * columns / capacity);
        const double v = history.at(trace, i);
        if (spans.empty() || spans.back().column != column) {
            spans.push_back({column, v, v});
        } else {
            spans.back().low = std::min(spans.back().low, v);
            spans.back().high = std::max(spans.back().high, v);
        }
    }
    return spans;
}

int PointAtColumn(const TraceHistory& history, int column, int columns) {
    const int n = history.size(), capacity = history.capacity();
    if (n == 0 || columns <= 0 || column < 0 || column >= columns) return -1;
    // The last position at or left of this column: positions p with p * columns / capacity <=
    // column run up to ((column + 1) * capacity - 1) / columns.
    const long last = (static_cast<long>(column + 1) * capacity - 1) / columns;
    const long i = last - (capacity - n);
    return i >= 0 && i < n ? static_cast<int>(i) : -1;
}
