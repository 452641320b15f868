// Where a frozen chart, or a recording opened again, looks in its history: a window of span()
// seconds ending at end(), zoomed around a time and panned, always within the scans held. Plain
// arithmetic on times, so that zoom and pan are tested against literal spans.
//
// Also the summary of such a window: the lowest and highest point per pixel column, from a
// history of millions of scans, fast enough for a zoom step within a display frame. Every 64
// points of the history keep each trace's lowest and highest code (ViewBlocks); a column over
// many points reads those and visits only the points at its ends.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/chart/column_summary.h"
#include "engine/chart/trace_history.h"

class ChartView {
  public:
    // Looks at `span` seconds ending at the newest scan of a history whose scans were taken
    // from `first` to `last` seconds.
    void reset(double first, double last, double span);
    double first() const { return first_; }
    double last() const { return last_; }
    double end() const { return end_; }
    double span() const { return span_; }
    double start() const { return end_ - span_; }
    // Shorter by `factor` (2: half the span; 0.5: twice), the time `at` kept where it is on the
    // screen; no shorter than kShortest, no longer than the whole history (or the span at
    // reset, when that was longer).
    void zoom(double factor, double at);
    // Later by `seconds` (earlier when negative).
    void pan(double seconds);
    // Where the window lies in the history, as fractions 0 to 1 of it, for the overview strip.
    std::pair<double, double> inHistory() const;
    static constexpr double kShortest = 0.01;

  private:
    void hold();
    double first_ = 0, last_ = 0, end_ = 0, span_ = 1, longest_ = 1;
};

// Each trace's lowest and highest code over every 64 points of a history, from its oldest.
class ViewBlocks {
  public:
    static constexpr int kPoints = 64;
    void build(const TraceHistory& history);
    const std::int16_t* low(int block) const { return &low_[index(block)]; }
    const std::int16_t* high(int block) const { return &high_[index(block)]; }

  private:
    std::size_t index(int block) const {
        return static_cast<std::size_t>(block) * static_cast<std::size_t>(traces_);
    }
    int traces_ = 0;
    std::vector<std::int16_t> low_, high_;
};

// Fills `columns` (configured: count and width) with the points of `history` in its columns up
// to the one holding `end`, no point after `end`.
void SummariseView(ColumnSummary& columns, const TraceHistory& history, const ViewBlocks& blocks,
                   double end);
