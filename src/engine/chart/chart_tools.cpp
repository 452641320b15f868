// The chart's tools that open a window: the channels and their calibration, a range by hand,
// the trigger, and the converter statistics of the span.
#include <algorithm>

#include "engine/chart/channel_dialog.h"
#include "engine/chart/statistics_window.h"
#include "engine/chart/strip_chart.h"
#include "engine/chart/trigger_dialog.h"

void StripChart::editChannels() {
    // The two-point helper averages the newest scans of the live data, whatever is shown.
    auto lastScans = [this](int trace, int scans) {
        std::vector<double> volts;
        if (trace < 0 || trace >= live_.traces() || scans <= 0) return volts;
        const int n = std::min(scans, live_.size());
        volts.reserve(static_cast<std::size_t>(n));
        for (int i = live_.size() - n; i < live_.size(); ++i) volts.push_back(live_.at(trace, i));
        return volts;
    };
    if (auto chosen = engine::EditChannels(this, channels(), lastScans, resolution()))
        setChannels(*chosen);
}

void StripChart::editRange(QPointF at) {
    if (!lanes_) {
        const auto now = range_mode_ == engine::ChartRange::manual ? manual_ : shownRange();
        const QString unit = scales().unit;
        if (auto chosen = engine::EditRange(this, tr("Y axis"), now, unit)) {
            setManualRange(*chosen);
            setRangeMode(engine::ChartRange::manual);  // what was just set is what is shown
        }
        return;
    }
    // In lanes, the lane the menu was opened over; else the first one shown.
    int trace = -1;
    for (int t = 0; t < traceCount() && trace < 0; ++t)
        if (traceVisible(t) && laneArea(t).contains(at)) trace = t;
    for (int t = 0; t < traceCount() && trace < 0; ++t)
        if (traceVisible(t)) trace = t;
    if (trace < 0) return;
    const auto now = shownRanges()[static_cast<std::size_t>(trace)];
    if (auto chosen = engine::EditRange(this, tr("Lane of %1").arg(traceName(trace)), now,
                                        traceUnit(trace))) {
        setLaneRange(trace, *chosen);
        setRangeMode(engine::ChartRange::manual);
    }
}

void StripChart::editTrigger() {
    if (auto chosen = engine::EditTrigger(this, trigger(), channels())) setTrigger(*chosen);
}

void StripChart::showCodeStatistics() {
    const std::vector<engine::CodeStatistics> codes = spanCodeStatistics();
    std::vector<engine::ChannelStatistics> shown;
    for (int t = 0; t < traceCount() && t < static_cast<int>(codes.size()); ++t)
        if (traceVisible(t)) shown.push_back({channel(t), codes[static_cast<std::size_t>(t)]});
    engine::ShowStatisticsWindow(this, shown, resolution());
}
