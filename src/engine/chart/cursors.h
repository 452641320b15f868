// Two cursors on a frozen chart, for measuring: their times, the time between them and its
// inverse, and each trace's value at both and the step between. Plain arithmetic on a history.
#pragma once

#include <optional>
#include <vector>

#include "engine/chart/trace_history.h"

class CursorPair {
  public:
    // Places cursor 1, then 2, then 1 again...: the one placed longest ago moves.
    void place(double seconds);
    // Moves the cursor placed last by `seconds`.
    void move(double seconds);
    void clear() { *this = CursorPair{}; }
    const std::optional<double>& first() const { return first_; }
    const std::optional<double>& second() const { return second_; }
    bool both() const { return first_ && second_; }
    // The one placed last; none when none is.
    std::optional<double> latest() const { return last_ == 2 ? second_ : first_; }

  private:
    std::optional<double> first_, second_;
    int last_ = 0;  // 0 none, 1 or 2
};

struct CursorReading {
    double t1 = 0, t2 = 0, dt = 0, perSecond = 0;  // perSecond: 1/dt, 0 when dt is 0
    struct Trace {
        double v1 = 0, v2 = 0, dv = 0;
    };
    std::vector<Trace> traces;  // every trace, in order
};

// The point shown at `seconds`: the newest taken at or before it (-1: none).
int PointAtOrBefore(const TraceHistory& history, double seconds);
// The readings at the two times; nothing when either has no point at or before it.
std::optional<CursorReading> ReadCursors(const TraceHistory& history, double t1, double t2);
