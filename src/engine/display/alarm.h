// A wake-up at a moment of the steady clock, re-armed without allocating: on Linux a timer
// file set to the deadline itself, to the nanosecond, with one system call; elsewhere, or when
// the kernel gives no timer file, a single-shot QTimer in whole milliseconds. A timer file set
// to repeat rings on its grid with no system call to set it again. The engine's
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
#include <cstdint>
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
    // Rings once at `when`, at once when that has passed; replaces any earlier setting. With
    // `every`, the timer file goes on ringing every that long after `when` until set otherwise,
    // and setting it again for the moment it rings next costs no system call: a timer on its
    // grid re-arms for nothing.
    void set(Clock::time_point when, Clock::duration every = Clock::duration::zero());
    void cancel();
    bool isSet() const { return set_; }
    // When it is set to ring: as set, or with another alarm within its slack.
    Clock::time_point ringsAt() const { return armed_; }
    // How many times the timer file or the timer has been set: for tests.
    long settings() const { return settings_; }

  private:
    void rang(std::uint64_t times);
    void arm(Clock::time_point at, Clock::duration every = Clock::duration::zero());
    std::function<void()> ring_;
    Clock::duration slack_;
    Clock::duration every_{};  // repeating: the timer file's period; zero: once
    long settings_ = 0;
    Clock::time_point asked_{}, armed_{};
    bool set_ = false;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer timer_;
};

}  // namespace engine
