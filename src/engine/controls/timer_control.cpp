#include "engine/controls/timer_control.h"

#include <QPointer>
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
    earliest_ = engine::TickTime::min();
    arm();
}

void TimerControl::arm() {
    if (!running_) return;
    // On the grid the alarm repeats by itself; a tick held back half a period rings once.
    const auto at = nextDeadline();
    alarm_->set(at, at == next_ ? period() : TickClock::duration::zero());
}

engine::TickTime TimerControl::gridAfter(engine::TickTime t) const {
    if (t < next_) return next_;
    const auto period = this->period();
    return next_ + period * ((t - next_) / period + 1);
}

void TimerControl::ring() {
    if (!running_) return;
    const auto now = engine::TickNow();
    const auto period = this->period();
    // The alarm may ring a little early (a millisecond timer on systems without timer files).
    const auto tolerance =
        std::min<TickClock::duration>(period / 2, std::chrono::microseconds(500));
    if (now + tolerance < next_ || now < earliest_) {
        arm();
        return;
    }
    // This one tick stands for every deadline passed up to now; the next is the first still to
    // come, though no sooner than half a period on.
    const auto deadline = next_;
    next_ = gridAfter(std::max(deadline, now));
    earliest_ = now + period / 2;
    // The alarm is set once, after the callback has said when it began (delivered).
    QPointer<TimerControl> alive(this);
    ringing_ = true;
    emit due(deadline);
    if (!alive) return;
    ringing_ = false;
    arm();
}

void TimerControl::delivered(engine::TickTime at) {
    if (at == engine::TickTime::min()) return;
    earliest_ = std::max(earliest_, at + period() / 2);
    if (next_ <= at) next_ = gridAfter(at);  // this late tick stands for those passed meanwhile
    if (!ringing_) arm();
}
