#include "engine/chart/column_summary.h"

#include <algorithm>

void ColumnSummary::configure(int traces, int count, double width) {
    traces_ = std::max(1, traces);
    count_ = std::max(1, count);
    width_ = width > 0 && std::isfinite(width) ? width : 1;
    index_.assign(static_cast<std::size_t>(count_), LONG_MIN);
    gap_.assign(static_cast<std::size_t>(count_), false);
    low_.assign(static_cast<std::size_t>(count_) * traces_, 0);
    high_.assign(static_cast<std::size_t>(count_) * traces_, 0);
}

void ColumnSummary::clear() {
    std::fill(index_.begin(), index_.end(), LONG_MIN);
}

void ColumnSummary::add(const std::int16_t* lows, const std::int16_t* highs, double seconds,
                        bool afterGap) {
    if (count_ == 0) return;
    const long k = columnOf(seconds);
    const std::size_t s = slot(k) * static_cast<std::size_t>(traces_);
    if (index_[slot(k)] != k) {
        // A new column takes the slot of the one count() columns before it.
        index_[slot(k)] = k;
        gap_[slot(k)] = afterGap;  // a hole inside a column is within its bar's pixel
        std::copy(lows, lows + traces_, low_.begin() + static_cast<long>(s));
        std::copy(highs, highs + traces_, high_.begin() + static_cast<long>(s));
        return;
    }
    for (int t = 0; t < traces_; ++t) {
        low_[s + t] = std::min(low_[s + t], lows[t]);
        high_[s + t] = std::max(high_[s + t], highs[t]);
    }
}
