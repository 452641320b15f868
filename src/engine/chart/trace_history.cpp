#include "engine/chart/trace_history.h"

#include <algorithm>
#include <cmath>

void TraceHistory::reset(int traces, int capacity, double resolution) {
    traces_ = std::max(1, traces);
    capacity_ = std::max(1, capacity);
    resolution_ = resolution > 0 && std::isfinite(resolution) ? resolution : 2.5 / 4096;
    size_ = 0;
    total_ = 0;
    older_ = ColumnSummary();
    codes_.clear();
    times_.clear();
    marks_.clear();
    codes_.shrink_to_fit();
    times_.shrink_to_fit();
    marks_.shrink_to_fit();
    // All the room at once, so that no scan allocates: the pages are only touched, and only
    // then resident, as scans fill them.
    times_.reserve(static_cast<std::size_t>(capacity_));
    marks_.reserve(static_cast<std::size_t>(capacity_));
    codes_.reserve(static_cast<std::size_t>(capacity_) * static_cast<std::size_t>(traces_));
    blocks_.assign(static_cast<std::size_t>((capacity_ + kBlock - 1) / kBlock), Block{});
    lows_.assign(blocks_.size() * static_cast<std::size_t>(traces_), 0);
    highs_.assign(blocks_.size() * static_cast<std::size_t>(traces_), 0);
    sums_.assign(blocks_.size() * static_cast<std::size_t>(traces_), 0);
    squares_.assign(blocks_.size() * static_cast<std::size_t>(traces_), 0);
}

void TraceHistory::append(const double* scan, double seconds, Before before) {
    const auto s = static_cast<std::size_t>(total_ % capacity_);
    if (times_.size() <= s) {  // still filling, into the room reserved at reset
        times_.push_back(0);
        marks_.push_back(Before::scans);
        codes_.resize(codes_.size() + static_cast<std::size_t>(traces_));
    } else {  // the oldest point gives way: into the summary of those let go
        if (older_.count() == 0) older_.configure(traces_, kOlderColumns, kOlderWidth);
        older_.add(&codes_[s * traces_], times_[s], marks_[s] != Before::scans);
    }
    times_[s] = seconds;
    marks_[s] = before;
    const std::size_t b = s / kBlock;
    Block& block = blocks_[b];
    const bool starts = s % kBlock == 0;
    if (starts) block = Block{total_, 0, seconds, seconds};
    for (int t = 0; t < traces_; ++t) {
        const double steps = std::round(scan[t] / resolution_);
        const auto c =
            static_cast<std::int16_t>(std::isnan(steps) ? 0 : std::clamp(steps, -32767.0, 32767.0));
        codes_[s * traces_ + static_cast<std::size_t>(t)] = c;
        std::int16_t& low = lows_[b * traces_ + static_cast<std::size_t>(t)];
        std::int16_t& high = highs_[b * traces_ + static_cast<std::size_t>(t)];
        low = starts ? c : std::min(low, c);
        high = starts ? c : std::max(high, c);
        std::int32_t& sum = sums_[b * traces_ + static_cast<std::size_t>(t)];
        sum = starts ? c : sum + c;
        std::int64_t& square = squares_[b * traces_ + static_cast<std::size_t>(t)];
        square = (starts ? 0 : square) + std::int64_t{c} * c;
    }
    ++block.count;
    block.lastTime = seconds;
    ++total_;
    size_ = std::min(size_ + 1, capacity_);
}

std::vector<double> TraceHistory::trace(int t) const {
    std::vector<double> v;
    v.reserve(static_cast<std::size_t>(size_));
    for (int i = 0; i < size_; ++i) v.push_back(at(t, i));
    return v;
}

int TraceHistory::firstAtOrAfter(double seconds) const {
    int low = 0, high = size_;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (time(mid) < seconds)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

std::size_t TraceHistory::bytes() const {
    return codes_.capacity() * sizeof(std::int16_t) + times_.capacity() * sizeof(double) +
           marks_.capacity() * sizeof(Before) + blocks_.size() * sizeof(Block) +
           (lows_.size() + highs_.size()) * sizeof(std::int16_t) +
           sums_.size() * sizeof(std::int32_t) + squares_.size() * sizeof(std::int64_t) +
           older_.bytes();
}

std::vector<TraceHistory::Statistics> TraceHistory::statistics(double end, double span) const {
    const auto n = static_cast<std::size_t>(traces_);
    std::vector<Statistics> result(n);
    std::vector<std::int16_t> low(n), high(n);
    std::vector<long long> sum(n, 0), squares(n, 0);
    long count = 0;
    const std::size_t cap = static_cast<std::size_t>(capacity_);
    int i = firstAtOrAfter(end - span);
    std::size_t s = i < size_ ? slot(i) : 0;
    long sequence = total_ - size_ + i;
    // A block's sums and squares, or one point's codes (squared here).
    auto take = [&](const std::int16_t* lo, const std::int16_t* hi, const auto* sums,
                    const std::int64_t* sq, long k) {
        for (std::size_t t = 0; t < n; ++t) {
            low[t] = count ? std::min(low[t], lo[t]) : lo[t];
            high[t] = count ? std::max(high[t], hi[t]) : hi[t];
            sum[t] += sums[t];
            squares[t] += sq ? sq[t] : static_cast<long long>(sums[t]) * sums[t];
        }
        count += k;
    };
    while (i < size_ && times_[s] <= end) {
        const std::size_t b = s / kBlock;
        const Block& block = blocks_[b];
        if (s % kBlock == 0 && block.first == sequence && i + block.count <= size_ &&
            block.lastTime <= end) {
            take(&lows_[b * n], &highs_[b * n], &sums_[b * n], &squares_[b * n], block.count);
            i += block.count;
            sequence += block.count;
            s = (s + static_cast<std::size_t>(block.count)) % cap;
            continue;
        }
        const std::int16_t* codes = &codes_[s * n];
        take(codes, codes, codes, nullptr, 1);
        ++i;
        ++sequence;
        if (++s == cap) s = 0;
    }
    for (std::size_t t = 0; t < n && count; ++t) {
        const double mean = static_cast<double>(sum[t]) / count;
        const double variance = static_cast<double>(squares[t]) / count - mean * mean;
        result[t] = {low[t] * resolution_, high[t] * resolution_, mean * resolution_,
                     std::sqrt(std::max(0.0, variance)) * resolution_, count};
    }
    return result;
}

void TraceHistory::summarise(ColumnSummary& columns) const {
    columns.clear();
    if (size_ == 0 || traces_ != columns.traces()) return;
    const long newest = columns.columnOf(time(size_ - 1));
    const double start = (newest - columns.count() + 1) * columns.width();
    // The span reaches back past the oldest point held: the summary of those let go.
    if (older_.count() > 0 && older_.traces() == traces_ && time(0) > start)
        for (long j = older_.columnOf(start); j <= older_.columnOf(time(0)); ++j)
            if (older_.has(j))
                columns.add(older_.lows(j), older_.highs(j), std::max(start, j * kOlderWidth),
                            older_.afterGap(j));
    for (int i = firstAtOrAfter(start); i < size_; ++i)
        columns.add(codes(i), time(i), before(i) != Before::scans);
}
