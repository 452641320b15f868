// The strip chart's traces as channels in the operator's terms, and its setup as a settings
// file keeps it: what is given is checked here, and a change is told with setupChanged().
#include <algorithm>

#include "engine/chart/chart_limits.h"
#include "engine/chart/strip_chart.h"

void StripChart::setChannels(const std::vector<engine::ChannelSetup>& channels) {
    const auto before = channels_;
    given_channels_.clear();
    for (std::size_t t = 0; t < channels.size() && t < std::size_t{engine::kMaxChartTraces}; ++t)
        given_channels_.push_back(engine::CheckChannel(channels[t])
                                      ? std::nullopt
                                      : std::optional<engine::ChannelSetup>(channels[t]));
    resolveChannels();
    if (channels_ == before) return;
    configureTrigger(trigger_.setup());  // its level is in the channel's unit
    emit setupChanged();
}

void StripChart::resolveChannels() {
    channels_.clear();
    channel_names_.clear();
    channel_units_.clear();
    for (int t = 0; t < traceCount(); ++t) {
        const auto i = static_cast<std::size_t>(t);
        engine::ChannelSetup c;
        if (i < given_channels_.size() && given_channels_[i]) {
            c = *given_channels_[i];
        } else {
            c.name = (t < names_.size() ? names_[t] : QString("CH%1").arg(t)).toStdString();
            c.unit = unit_.toStdString();
        }
        channels_.push_back(c);
        channel_names_ << QString::fromStdString(c.name);
        channel_units_ << QString::fromStdString(c.unit);
    }
    layoutChanged();
}

const engine::ChannelSetup& StripChart::channel(int trace) const {
    static const engine::ChannelSetup kNone;
    return trace >= 0 && trace < static_cast<int>(channels_.size())
               ? channels_[static_cast<std::size_t>(trace)]
               : kNone;
}

QString StripChart::traceUnit(int trace) const {
    return trace >= 0 && trace < channel_units_.size() ? channel_units_[trace] : unit_;
}

std::pair<double, double> StripChart::valuesOf(int trace, double a, double b) const {
    const double va = valueOf(trace, a), vb = valueOf(trace, b);
    return {std::min(va, vb), std::max(va, vb)};
}

engine::ChartSetup StripChart::setup() const {
    engine::ChartSetup s;
    s.span = frozen_ ? live_span_ : span_;
    s.range = range_mode_;
    s.manual = manual_;
    s.laneRanges = lane_ranges_;
    s.hidden = hidden_;
    s.lanes = lanes_;
    return s;
}

void StripChart::applySetup(const engine::ChartSetup& setup) {
    const engine::ChartSetup before = this->setup();
    {
        const QSignalBlocker quiet(this);  // one signal for the whole, below
        if (!frozen_) setSpan(setup.span);
        setManualRange(setup.manual);
        for (std::size_t t = 0; t < setup.laneRanges.size(); ++t)
            setLaneRange(static_cast<int>(t), setup.laneRanges[t]);
        setRangeMode(setup.range);
        lanes_ = setup.lanes;
        for (int t = 0; t < traceCount(); ++t)
            hidden_[static_cast<std::size_t>(t)] =
                static_cast<std::size_t>(t) < setup.hidden.size() &&
                setup.hidden[static_cast<std::size_t>(t)];
    }
    changedSetup(before);
}

void StripChart::changedSetup(const engine::ChartSetup& before) {
    layoutChanged();
    if (!(setup() == before)) emit setupChanged();
}
