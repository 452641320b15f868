// The strip chart's level trigger: fed scan by scan, it holds the picture at a firing, the
// firing at its place in the window, as an oscilloscope does while acquisition goes on.
#include <QFontMetrics>
#include <QPainter>
#include <cmath>

#include "engine/chart/strip_chart.h"

void StripChart::setTrigger(const engine::TriggerSetup& setup) {
    if (engine::CheckTrigger(setup, traceCount())) return;
    const bool changed = !(setup == trigger_.setup());
    configureTrigger(setup);
    if (changed) emit setupChanged();
}

void StripChart::configureTrigger(const engine::TriggerSetup& setup) {
    engine::TriggerSetup s = setup;
    if (engine::CheckTrigger(s, traceCount())) s.mode = engine::TriggerMode::off;
    trigger_.configure(s, channel(s.channel), live_.resolution());
    triggering_ = s.mode != engine::TriggerMode::off;
    trigger_wait_ = std::numeric_limits<double>::quiet_NaN();
    held_ = false;
    shown_firing_.reset();
    update();
}

void StripChart::rearmTrigger() {
    if (trigger_.setup().mode != engine::TriggerMode::single) return;
    setFrozen(false);
    trigger_wait_ = std::numeric_limits<double>::quiet_NaN();
    shown_firing_.reset();
    trigger_.arm();
    update();
}

void StripChart::feedTrigger(double seconds) {
    const bool fired = trigger_.feed(live_.codes(live_.size() - 1));
    if (std::isnan(trigger_wait_)) {
        if (!fired) return;  // and while a firing waits, the next ones are not taken
        const engine::TriggerSetup& s = trigger_.setup();
        trigger_at_ = seconds;
        trigger_wait_ = seconds + (1 - s.position) * (frozen_ ? live_span_ : span_);
        emit triggerFired(seconds,
                          QString("%1 %2 through %3 %4")
                              .arg(traceName(s.channel))
                              .arg(s.edge == engine::TriggerEdge::rising ? "rising" : "falling")
                              .arg(s.level)
                              .arg(traceUnit(s.channel))
                              .trimmed());
    }
    // A scan within a nanosecond of the window's end, as the clock's rounding puts it, ends it.
    if (seconds >= trigger_wait_ - 1e-9) triggerWindowComplete();
}

void StripChart::triggerWindowComplete() {
    const double end = trigger_wait_;
    trigger_wait_ = std::numeric_limits<double>::quiet_NaN();
    if (frozen_) return;  // the operator holds a picture of his own
    shown_firing_ = trigger_at_;
    if (trigger_.setup().mode == engine::TriggerMode::single) {
        setFrozen(true);  // as Space does, then the window's end where the firing puts it
        panView(end - view_.end());
        return;
    }
    // Normal: the live columns as they stand hold the window; no scan is copied.
    held_ = false;
    held_columns_ = shownColumns();
    held_end_ = end;
    held_ = true;
    ++refits_;  // the traces are drawn afresh from the columns held
    update();
}

QString StripChart::triggerBadge() const {
    switch (trigger_.setup().mode) {
        case engine::TriggerMode::single:
            return trigger_.armed() ? tr("TRIG armed") : tr("TRIG single");
        case engine::TriggerMode::normal:
            return tr("TRIG normal");
        default:
            return {};
    }
}

// The firing shown: a dashed line at its time, and a short mark at the level on the trigger's
// channel; the badge near where the FROZEN banner is.
void StripChart::paintTrigger(QPainter& p, const QRectF& plot) {
    if (!triggering_) return;
    const engine::TriggerSetup& s = trigger_.setup();
    if (shown_firing_ && s.channel < static_cast<int>(background_scales_.ranges.size())) {
        const double x = xOfTime(*shown_firing_);
        p.setPen(QPen(palette().text().color(), 1, Qt::DashLine));
        if (x >= plot.left() && x <= plot.right())
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        const QRectF lane = band(background_scales_, s.channel);
        const double y = yOf(s.level, background_scales_.ranges[std::size_t(s.channel)], lane);
        p.setPen(QPen(traceColor(s.channel), 2));
        if (traceVisible(s.channel)) p.drawLine(QPointF(x - 6, y), QPointF(x + 6, y));
    }
    if (picture_) return;
    QColor back = palette().toolTipBase().color();
    back.setAlphaF(0.9);
    const double below = frozen_ ? QFontMetrics(font()).height() + 14 : 0;
    paintOverlayBox(
        p, {{triggerBadge(), palette().toolTipText().color()}}, back, {8, 3}, [&](QSizeF size) {
            return QPointF(plot.center().x() - size.width() / 2, plot.top() + 6 + below);
        });
}

std::vector<engine::CodeStatistics> StripChart::spanCodeStatistics() const {
    const auto [end, span] = statisticsSpan();
    const TraceHistory& h = shown();
    const int from = h.firstAtOrAfter(end - span);
    int to = from;
    while (to < h.size() && h.time(to) <= end) ++to;
    std::vector<engine::CodeStatistics> result;
    std::vector<std::int16_t> codes(static_cast<std::size_t>(to - from));
    for (int t = 0; t < h.traces(); ++t) {
        for (int i = from; i < to; ++i) codes[static_cast<std::size_t>(i - from)] = h.code(t, i);
        result.push_back(engine::CodeStatisticsOf(codes.data(), to - from));
    }
    return result;
}
