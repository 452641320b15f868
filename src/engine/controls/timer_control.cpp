#include "engine/controls/timer_control.h"

#include <algorithm>

#include "engine/display/alarm.h"

using engine::TickClock;

TimerControl::TimerControl(QWidget* parent)
    : QWidget(parent), alarm_(new engine::Alarm([this] { ring(); }, this)) {
    QWidget::setVisible(false);
    restart();
}

void TimerControl::setVisible(bool) {
    QWidget::setVisible(false);
}

void TimerControl::setInterval(double seconds) {
    if (!(seconds > 0)) return;
    interval_ = std::clamp(seconds, kShortestInterval, kLongestInterval);
    restart();
    emit intervalChanged(interval_);
}

void TimerControl::setRunning(bool on) {
    running_ = on;
    if (on)
        restart();
    else
        alarm_->cancel();
}

TickClock::duration TimerControl::period() const {
    return std::chrono::duration_cast<TickClock::duration>(
        std::chrono::duration<double>(interval_));
}

void TimerControl::restart() {
    next_ = engine::TickNow() + period();
    arm();
}

void TimerControl::arm() {
    if (running_) alarm_->set(next_);
}

void TimerControl::ring() {
    if (!running_) return;
    const auto now = engine::TickNow();
    const auto period = this->period();
    // The alarm may ring a little early (a millisecond timer on systems without timer files).
    const auto tolerance =
        std::min<TickClock::duration>(period / 2, std::chrono::microseconds(500));
    if (now + tolerance < next_) {
        arm();
        return;
    }
    const auto deadline = next_;
    if (now - next_ >= std::max<TickClock::duration>(period, kCatchUpLimit))
        next_ = now + period;  // too far behind to catch up: start afresh
    else
        next_ += period;  // the next late one on the next pass of the event loop
    arm();
    emit due(deadline);
}

void TimerControl::answeredUntil(engine::TickTime until) {
    if (next_ > until) return;
    const auto period = this->period();
    next_ += period * ((until - next_) / period + 1);
    arm();
}
