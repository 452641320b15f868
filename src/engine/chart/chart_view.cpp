#include "engine/chart/chart_view.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

void ChartView::reset(double first, double last, double span) {
    first_ = first;
    last_ = std::max(first, last);
    span_ = std::max(span, kShortest);
    longest_ = std::max(span_, last_ - first_);
    end_ = last_;
}

void ChartView::hold() {
    span_ = std::clamp(span_, kShortest, longest_);
    // The window never leaves the scans: its start no earlier than the first, its end no later
    // than the last; a window longer than the history ends at the last.
    end_ = std::clamp(end_, std::min(first_ + span_, last_), last_);
}

void ChartView::zoom(double factor, double at) {
    if (!(factor > 0) || !std::isfinite(factor) || !std::isfinite(at)) return;
    const double place = span_ > 0 ? (end_ - at) / span_ : 0;  // 0: at the right edge
    span_ = std::clamp(span_ / factor, kShortest, longest_);
    end_ = at + place * span_;
    hold();
}

void ChartView::pan(double seconds) {
    if (!std::isfinite(seconds)) return;
    end_ += seconds;
    hold();
}

std::pair<double, double> ChartView::inHistory() const {
    const double whole = last_ - first_;
    if (whole <= 0) return {0, 1};
    return {std::max(0.0, (start() - first_) / whole), std::min(1.0, (end_ - first_) / whole)};
}

void ViewBlocks::build(const TraceHistory& history) {
    traces_ = history.traces();
    const int blocks = history.size() / kPoints;
    low_.assign(static_cast<std::size_t>(blocks) * static_cast<std::size_t>(traces_), 0);
    high_.assign(low_.size(), 0);
    for (int b = 0; b < blocks; ++b) {
        std::int16_t* low = &low_[index(b)];
        std::int16_t* high = &high_[index(b)];
        std::copy(history.codes(b * kPoints), history.codes(b * kPoints) + traces_, low);
        std::copy(low, low + traces_, high);
        for (int i = b * kPoints + 1; i < (b + 1) * kPoints; ++i) {
            const std::int16_t* codes = history.codes(i);
            for (int t = 0; t < traces_; ++t) {
                low[t] = std::min(low[t], codes[t]);
                high[t] = std::max(high[t], codes[t]);
            }
        }
    }
}

void SummariseView(ColumnSummary& columns, const TraceHistory& h, const ViewBlocks& blocks,
                   double end) {
    columns.configure(columns.traces(), columns.count(), columns.width());
    if (h.size() == 0 || h.traces() != columns.traces()) return;
    const double width = columns.width();
    const long last = columns.columnOf(end);
    const int stop = h.firstAtOrAfter(std::nextafter(end, std::numeric_limits<double>::infinity()));
    constexpr int n = ViewBlocks::kPoints;
    const auto traces = static_cast<std::size_t>(h.traces());
    std::vector<std::int16_t> low(traces), high(traces);
    auto take = [&](const std::int16_t* lo, const std::int16_t* hi) {
        for (std::size_t t = 0; t < traces; ++t) {
            low[t] = std::min(low[t], lo[t]);
            high[t] = std::max(high[t], hi[t]);
        }
    };
    for (int i = h.firstAtOrAfter((last - columns.count() + 1) * width); i < stop;) {
        // The points in this column: the ones at its ends one by one, whole blocks between,
        // gathered here and handed to the column at once.
        const long k = columns.columnOf(h.time(i));
        const int next = std::clamp(h.firstAtOrAfter((k + 1) * width), i + 1, stop);
        std::fill(low.begin(), low.end(), INT16_MAX);
        std::fill(high.begin(), high.end(), INT16_MIN);
        int j = i;
        for (; j < next && j % n != 0; ++j) take(h.codes(j), h.codes(j));
        for (; j + n <= next; j += n) take(blocks.low(j / n), blocks.high(j / n));
        for (; j < next; ++j) take(h.codes(j), h.codes(j));
        columns.add(low.data(), h.time(i), h.before(i) != TraceHistory::Before::scans);
        columns.add(high.data(), h.time(i));
        i = next;
    }
}
