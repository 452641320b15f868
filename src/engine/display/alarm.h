// A wake-up at a moment of the steady clock, re-armed without allocating: on Linux a timer
// file set to the deadline itself, to the nanosecond, with one system call; elsewhere, or when
// the kernel gives no timer file, a single-shot QTimer in whole milliseconds. The engine's
// timer controls tick with one, and the frame limiter paints with one, so that neither a scan
// tick nor a request for a frame allocates.
//
// An alarm that may ring a little late (the frame limiter's: a frame may come a millisecond
// after it could) rings with another alarm due within that slack, at the same moment: one
// wake-up of the event loop serves both.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

class QSocketNotifier;

namespace engine {

class Alarm : public QObject {
  public:
    using Clock = std::chrono::steady_clock;
    // `slack`: how much later than set it may ring, to ring with another alarm.
    Alarm(std::function<void()> ring, QObject* parent,
          Clock::duration slack = Clock::duration::zero());
    ~Alarm() override;
    Alarm(const Alarm&) = delete;
    Alarm& operator=(const Alarm&) = delete;
    // Rings once at `when`, at once when that has passed; replaces any earlier setting.
    void set(Clock::time_point when);
    void cancel();
    bool isSet() const { return set_; }
    // When it is set to ring: as set, or with another alarm within its slack.
    Clock::time_point ringsAt() const { return armed_; }

  private:
    void rang();
    void arm(Clock::time_point at);
    std::function<void()> ring_;
    Clock::duration slack_;
    Clock::time_point asked_{}, armed_{};
    bool set_ = false;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer timer_;
};

}  // namespace engine
