// A timer as a control: invisible, with a period in seconds. It keeps its deadlines on a grid
// (each is due one period after the previous deadline, not after the moment it was handled),
// so a 1 ms period really gives 1000 ticks a second, and reports each deadline it passes with
// due(deadline). Whoever delivers the tick may answer that it stands for every deadline up to
// a later moment (answeredUntil): the grid then resumes after that moment. A deadline missed
// for any other reason (the window painting) is reported late, one per pass of the event loop,
// so the rate holds, up to kCatchUpLimit behind; beyond that the grid starts afresh from now.
#pragma once

#include <QWidget>
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
    static constexpr std::chrono::milliseconds kCatchUpLimit{50};
    // Intervals are held to this range: one microsecond to one day.
    static constexpr double kShortestInterval = 1e-6, kLongestInterval = 86400.0;

    // The next deadline; while the timer runs its alarm is set for it.
    engine::TickTime nextDeadline() const { return next_; }
    // The alarm rang: reports the deadline passed, if one has. The event loop calls it when
    // the alarm goes off; tests on a simulated clock (SetTickClock) call it themselves.
    void ring();
    // Deadlines up to `until` need no tick of their own: the next one comes after it.
    void answeredUntil(engine::TickTime until);
  signals:
    void due(engine::TickTime deadline);
    void intervalChanged(double seconds);

  private:
    engine::TickClock::duration period() const;
    void restart();  // the next tick one period from now
    void arm();
    double interval_ = 1.0;
    bool running_ = true;
    engine::TickTime next_;
    engine::Alarm* alarm_;  // set to each deadline: re-arming allocates nothing
};
