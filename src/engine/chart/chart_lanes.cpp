// The strip chart's vertical ranges: the resource's fixed range, autoscale or a range set by
// hand, on one axis shared by every trace or in a lane per shown trace, each with its scale.
#include <QFontMetrics>
#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/chart/chart_limits.h"
#include "engine/chart/chart_scale.h"
#include "engine/chart/strip_chart.h"

void StripChart::setAutoscale(bool on) {
    setRangeMode(on ? engine::ChartRange::autoscale : engine::ChartRange::fixed);
}

void StripChart::setRangeMode(engine::ChartRange mode) {
    if (mode != engine::ChartRange::fixed && mode != engine::ChartRange::autoscale &&
        mode != engine::ChartRange::manual)
        return;  // no range the chart knows (a settings file's number)
    const engine::ChartSetup before = setup();
    range_mode_ = mode;
    changedSetup(before);
}

void StripChart::setLanes(bool on) {
    const engine::ChartSetup before = setup();
    lanes_ = on;
    changedSetup(before);
}

void StripChart::setManualRange(std::pair<double, double> range) {
    if (engine::CheckChartRange(range)) return;
    const engine::ChartSetup before = setup();
    manual_ = range;
    changedSetup(before);
}

void StripChart::setLaneRange(int trace, std::pair<double, double> range) {
    if (trace < 0 || trace >= engine::kMaxChartTraces || engine::CheckChartRange(range)) return;
    const engine::ChartSetup before = setup();
    // The lanes not set keep their fixed range.
    for (int t = static_cast<int>(lane_ranges_.size()); t <= trace; ++t)
        lane_ranges_.push_back(fixedRange(t));
    lane_ranges_[static_cast<std::size_t>(trace)] = range;
    changedSetup(before);
}

std::pair<double, double> StripChart::fixedRange(int trace) const {
    const auto [low, high] = engine::HeldRange(y_min_, y_max_);
    const auto [a, b] = valuesOf(trace, low, high);
    return engine::HeldRange(a, b);
}

StripChart::Scales StripChart::scales() const {
    Scales s;
    const int n = traceCount();
    s.ranges.resize(static_cast<std::size_t>(n));
    s.lane.assign(static_cast<std::size_t>(n), 0);
    // Autoscale: each trace's lowest and highest code in the columns shown.
    std::vector<int> low, high;
    if (range_mode_ == engine::ChartRange::autoscale) {
        low.assign(static_cast<std::size_t>(n), INT_MAX);
        high.assign(static_cast<std::size_t>(n), INT_MIN);
        const ColumnSummary& columns = shownColumns();
        const long first = firstColumn();
        for (long k = first; k < first + columns.count(); ++k) {
            if (!columns.has(k)) continue;
            for (int t = 0; t < n; ++t) {
                if (!traceVisible(t)) continue;
                low[static_cast<std::size_t>(t)] =
                    std::min<int>(low[static_cast<std::size_t>(t)], columns.low(k, t));
                high[static_cast<std::size_t>(t)] =
                    std::max<int>(high[static_cast<std::size_t>(t)], columns.high(k, t));
            }
        }
    }
    const double step = shown().resolution();
    auto fitted = [&](int t, std::pair<double, double>& r) {  // false: no data to fit
        const auto i = static_cast<std::size_t>(t);
        if (low.empty() || low[i] > high[i]) return false;
        r = valuesOf(t, low[i] * step, high[i] * step);
        return true;
    };
    if (lanes_) {
        s.bands = 0;
        for (int t = 0; t < n; ++t) {
            const auto i = static_cast<std::size_t>(t);
            s.lane[i] = traceVisible(t) ? s.bands++ : -1;
            std::pair<double, double> r = fixedRange(t);
            if (range_mode_ == engine::ChartRange::manual && i < lane_ranges_.size())
                r = lane_ranges_[i];
            if (fitted(t, r)) {
                const engine::ChartScale nice = engine::NiceScale(r.first, r.second);
                r = {nice.low, nice.high};
            }
            s.ranges[i] = engine::HeldRange(r.first, r.second);
        }
        s.bands = std::max(1, s.bands);
        return s;
    }
    // One axis: the unit the traces shown share, and the range over them all.
    std::pair<double, double> r{INFINITY, -INFINITY}, data = r;
    bool units = true, any = false;
    for (int t = 0; t < n; ++t) {
        if (!traceVisible(t)) continue;
        if (!any) s.unit = traceUnit(t);
        units = units && traceUnit(t) == s.unit;
        any = true;
        const auto f = fixedRange(t);
        r = {std::min(r.first, f.first), std::max(r.second, f.second)};
        std::pair<double, double> d;
        if (fitted(t, d)) data = {std::min(data.first, d.first), std::max(data.second, d.second)};
    }
    if (!units) s.unit.clear();
    if (!any) {
        r = engine::HeldRange(y_min_, y_max_);
        s.unit = unit_;
    }
    if (range_mode_ == engine::ChartRange::manual) r = manual_;
    if (data.first <= data.second) {
        const engine::ChartScale nice = engine::NiceScale(data.first, data.second);
        r = {nice.low, nice.high};
    }
    std::fill(s.ranges.begin(), s.ranges.end(), engine::HeldRange(r.first, r.second));
    if (s.ranges.empty()) s.ranges.push_back(engine::HeldRange(r.first, r.second));
    return s;
}

std::vector<std::pair<double, double>> StripChart::shownRanges() const {
    return scales().ranges;
}

std::pair<double, double> StripChart::shownRange() const {
    const Scales s = scales();
    for (int t = 0; t < traceCount(); ++t)
        if (s.lane[static_cast<std::size_t>(t)] >= 0) return s.ranges[static_cast<std::size_t>(t)];
    return s.ranges.front();
}

QRectF StripChart::band(const Scales& s, int trace) const {
    const QRectF plot = plotArea();
    if (s.bands <= 1 || trace < 0 || trace >= static_cast<int>(s.lane.size())) return plot;
    const int lane = std::max(0, s.lane[static_cast<std::size_t>(trace)]);
    // Whole device pixels, so that a lane's rows in the traces' image start where its band
    // does in the background.
    const double dpr = devicePixelRatioF(), rows = std::round(plot.height() * dpr);
    const double top = std::round(rows * lane / s.bands),
                 bottom = std::round(rows * (lane + 1) / s.bands);
    return QRectF(plot.left(), plot.top() + top / dpr, plot.width(), (bottom - top) / dpr);
}

QRectF StripChart::laneArea(int trace) const {
    return band(scales(), trace);
}
