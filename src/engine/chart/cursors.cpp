#include "engine/chart/cursors.h"

#include <cmath>
#include <limits>

void CursorPair::place(double seconds) {
    if (!std::isfinite(seconds)) return;
    if (!first_ || (second_ && last_ == 2)) {
        first_ = seconds;
        last_ = 1;
    } else {
        second_ = seconds;
        last_ = 2;
    }
}

void CursorPair::move(double seconds) {
    if (!std::isfinite(seconds)) return;
    std::optional<double>& c = last_ == 2 ? second_ : first_;
    if (c) *c += seconds;
}

int PointAtOrBefore(const TraceHistory& h, double seconds) {
    return h.firstAtOrAfter(std::nextafter(seconds, std::numeric_limits<double>::infinity())) - 1;
}

std::optional<CursorReading> ReadCursors(const TraceHistory& h, double t1, double t2) {
    const int i1 = PointAtOrBefore(h, t1), i2 = PointAtOrBefore(h, t2);
    if (i1 < 0 || i2 < 0) return std::nullopt;
    CursorReading r;
    r.t1 = t1;
    r.t2 = t2;
    r.dt = t2 - t1;
    r.perSecond = r.dt != 0 ? 1 / r.dt : 0;
    for (int t = 0; t < h.traces(); ++t) {
        const double v1 = h.at(t, i1), v2 = h.at(t, i2);
        r.traces.push_back({v1, v2, v2 - v1});
    }
    return r;
}
