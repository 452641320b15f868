// A wake-up at a moment of the steady clock, re-armed without allocating: on Linux a timer
// file set to the deadline itself, to the nanosecond, with one system call; elsewhere, or when
// the kernel gives no timer file, a single-shot QTimer in whole milliseconds. The engine's
// timer controls tick with one, and the frame limiter paints with one, so that neither a scan
// tick nor a request for a frame allocates.
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
    Alarm(std::function<void()> ring, QObject* parent);
    ~Alarm() override;
    Alarm(const Alarm&) = delete;
    Alarm& operator=(const Alarm&) = delete;
    // Rings once at `when`, at once when that has passed; replaces any earlier setting.
    void set(Clock::time_point when);
    void cancel();
    bool isSet() const { return set_; }

  private:
    void rang();
    std::function<void()> ring_;
    bool set_ = false;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer timer_;
};

}  // namespace engine
