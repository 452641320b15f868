// A timer as a control: invisible, with a period in seconds. It keeps its deadlines on a grid
// (each is due one period after the previous deadline, not after the moment it was handled),
// so a 1 ms period really gives 1000 ticks a second, and reports each deadline it passes with
// due(deadline). A deadline that passed while the loop was busy (a slow callback, the window
// painting, a stalled machine) is reported once, late, as soon as the loop comes round; the
// deadlines missed beyond it are skipped, never made up in a burst, and the next tick comes
// on the same grid. Two ticks are never less than half a period apart: a deadline that falls
// sooner than that after a late tick is delivered half a period after it, not skipped, as it
// was not missed; whoever delivers a tick later than the timer reported it says when
// (delivered). The scans then sit on a steady grid with holes where they
// were missed, and the rate achieved says honestly what was made.
#pragma once

#include <QWidget>
#include <algorithm>
#include <chrono>

#include "engine/display/tick_clock.h"

namespace engine {
class Alarm;
}

class TimerControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double interval READ interval WRITE setInterval)
    Q_PROPERTY(bool running READ running WRITE setRunning)
  public:
    explicit TimerControl(QWidget* parent = nullptr);
    double interval() const { return interval_; }
    void setInterval(double seconds);  // restarts the grid from now
    bool running() const { return running_; }
    void setRunning(bool on);
    void setVisible(bool) override;  // never shown
    // Intervals are held to this range: one microsecond to one day.
    static constexpr double kShortestInterval = 1e-6, kLongestInterval = 86400.0;

    // When the next tick is due: its deadline, or half a period after a late tick when that
    // is later. While the timer runs its alarm is set for it.
    engine::TickTime nextDeadline() const { return std::max(next_, earliest_); }
    // The alarm rang: reports the deadline passed, if one has. The event loop calls it when
    // the alarm goes off; tests on a simulated clock (SetTickClock) call it themselves.
    void ring();
    // A tick of this timer reached its callback at `at` (TickTime::min(): it is held back,
    // and the one who holds it says so when it is delivered): the deadlines passed by then are
    // skipped, and the next tick comes no sooner than half a period after.
    void delivered(engine::TickTime at);
  signals:
    void due(engine::TickTime deadline);
    void intervalChanged(double seconds);

  private:
    engine::TickClock::duration period() const;
    void restart();  // the next tick one period from now
    void arm();
    // The first deadline of the grid after `t` (next_ when that is later).
    engine::TickTime gridAfter(engine::TickTime t) const;
    double interval_ = 1.0;
    bool running_ = true;
    bool ringing_ = false;  // inside ring(): it sets the alarm once the tick is delivered
    engine::TickTime next_;
    engine::TickTime earliest_ = engine::TickTime::min();  // no tick before: half a period on
    engine::Alarm* alarm_;  // set to each deadline: re-arming allocates nothing
};
