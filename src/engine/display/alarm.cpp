#include "engine/display/alarm.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace engine {
namespace {
// Every alarm there is, for the ones with slack to ring along; never destroyed, as an alarm
// may outlive the program's statics.
std::vector<Alarm*>& alarms = *new std::vector<Alarm*>;
}  // namespace

Alarm::Alarm(std::function<void()> ring, QObject* parent, Clock::duration slack)
    : QObject(parent), ring_(std::move(ring)), slack_(slack) {
    alarms.push_back(this);
#ifdef __linux__
    fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            std::uint64_t expirations = 0;
            if (::read(fd_, &expirations, sizeof expirations) == sizeof expirations)
                rang(expirations);
        });
        return;
    }
#endif
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { rang(1); });
}

Alarm::~Alarm() {
    alarms.erase(std::find(alarms.begin(), alarms.end(), this));
#ifdef __linux__
    if (fd_ >= 0) {
        delete notifier_;
        ::close(fd_);
    }
#endif
}

void Alarm::rang(std::uint64_t times) {
    // Counts beyond a century of periods are no timer's: rather than overflow, it is unset.
    const auto century = std::chrono::hours(24 * 365 * 100);
    if (every_ > Clock::duration::zero() && times > 0 &&
        times <= static_cast<std::uint64_t>(century / every_)) {
        // Still set: the timer file rings next one period after the last it counted.
        armed_ += every_ * static_cast<long long>(times);
    } else {
        set_ = false;
    }
    ring_();
}

void Alarm::set(Clock::time_point when, Clock::duration every) {
    set_ = true;
    asked_ = when;
    if (fd_ < 0) {
        arm(when);
        return;
    }
    Clock::time_point at = when;
    for (Alarm* other : alarms) {
        if (other == this || !other->set_ || other->fd_ < 0) continue;
        if (slack_ > Clock::duration::zero()) {
            // Ring with the first of the others due within the slack.
            if (other->slack_ == Clock::duration::zero() && other->armed_ >= when &&
                other->armed_ <= when + slack_ && (at == when || other->armed_ < at))
                at = other->armed_;
        } else if (other->slack_ > Clock::duration::zero() && other->armed_ == other->asked_ &&
                   other->asked_ <= when && when <= other->asked_ + other->slack_) {
            other->arm(when);  // it rings with this one
        }
    }
    arm(at, at == when ? every : Clock::duration::zero());
}

void Alarm::arm(Clock::time_point when, Clock::duration every) {
    if (fd_ >= 0 && every > Clock::duration::zero() && every == every_ && when == armed_)
        return;  // it rings then, and on from there
    armed_ = when;
    every_ = fd_ >= 0 ? every : Clock::duration::zero();
    ++settings_;
#ifdef __linux__
    if (fd_ >= 0) {
        // The steady clock is the monotonic one; a moment already past rings at once (zero
        // would disarm: the earliest is one nanosecond).
        const long long ns = std::max<long long>(
            1,
            std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count());
        const long long period =
            std::chrono::duration_cast<std::chrono::nanoseconds>(every).count();
        itimerspec at{};
        at.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        at.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        at.it_interval.tv_sec = static_cast<time_t>(period / 1'000'000'000);
        at.it_interval.tv_nsec = static_cast<long>(period % 1'000'000'000);
        timerfd_settime(fd_, TFD_TIMER_ABSTIME, &at, nullptr);
        return;
    }
#endif
    const double ms = std::chrono::duration<double, std::milli>(when - Clock::now()).count();
    timer_.start(ms <= 0 ? 0 : static_cast<int>(std::lround(std::min(ms, 2.0e9))));
}

void Alarm::cancel() {
    set_ = false;
    every_ = Clock::duration::zero();
#ifdef __linux__
    if (fd_ >= 0) {
        const itimerspec off{};
        timerfd_settime(fd_, 0, &off, nullptr);
        return;
    }
#endif
    timer_.stop();
}

}  // namespace engine
