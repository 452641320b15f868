// Timer controls and the one rule for late ticks, played out on a simulated clock: the timer
// whose deadline comes first rings, the clock moving on to that deadline; a callback or a stall
// of the window moves it on by the time it takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

#include "engine/panels/recording_callbacks.h"

using namespace engine::testing;
using namespace std::chrono_literals;
using engine::TickTime;

namespace {

class SimulatedTime : public EngineTest {
  protected:
    const TickTime start{std::chrono::hours(1)};
    TickTime now = start;
    std::map<int, std::chrono::microseconds> takes;  // how long each control's callback runs
    std::map<int, std::map<int, int>> ticks;         // control: ticks at each millisecond
    std::vector<int> timers;                         // the ones running
    void SetUp() override {
        EngineTest::SetUp();
        engine::SetTickClock([this] { return now; });
        onTick = [this] {
            const int control = delivered.back().control;
            ++ticks[control][static_cast<int>((now - start) / 1ms)];
            now += takes[control];
        };
    }
    void run(int h, int control, double interval) {
        engine::FindControl(h, control)->widget->setProperty("running", true);
        SetCtrlAttribute(h, control, ATTR_INTERVAL, interval);  // the grid starts now
        timers.push_back(control);
    }
    void runUntil(int h, std::chrono::microseconds until) {
        for (;;) {
            const int next = *std::min_element(timers.begin(), timers.end(), [h](int a, int b) {
                return TimerDeadline(h, a) < TimerDeadline(h, b);
            });
            if (TimerDeadline(h, next) > start + until) break;
            now = std::max(now, TimerDeadline(h, next));
            RingTimer(h, next);
        }
        now = std::max(now, start + until);
    }
    // One tick at each millisecond from `from` to `to`, besides those in `also`.
    static std::map<int, int> oneEach(int from, int to, std::map<int, int> also = {}) {
        for (int ms = from; ms <= to; ++ms) also[ms] += 1;
        return also;
    }
};

}  // namespace

TEST_F(SimulatedTime, AMissedDeadlineIsCaughtUpOrTheGridStartsAfreshButOneInACallbackComesOnce) {
    const struct {
        const char* what;
        int stallMs;
        bool inCallback;
        std::map<int, int> expected;  // ticks at each millisecond of the first 30 past the stall
    } cases[] = {
        // The window painted for 20 ms: the 20 deadlines come at once, one per loop pass.
        {"stall of 20 ms", 20, false, oneEach(1, 5, oneEach(26, 30, {{25, 20}}))},
        // Beyond the catch-up limit: one late tick, then a grid from then on.
        {"stall of 200 ms", 200, false, oneEach(1, 5, oneEach(206, 210, {{205, 1}}))},
        // The tick at 5 ms took 20 ms: the deadlines inside it come as one, right after it.
        {"callback of 20 ms", 20, true, oneEach(1, 5, oneEach(26, 30, {{25, 1}}))},
        {"callback of 200 ms", 200, true, oneEach(1, 5, oneEach(206, 210, {{205, 1}}))},
    };
    for (const auto& c : cases) {
        SetUp();
        const int h = loadQuiet();
        run(h, kTimer, 0.001);
        runUntil(h, 5ms - 1us);
        if (c.inCallback) takes[kTimer] = std::chrono::milliseconds(c.stallMs);
        runUntil(h, 5ms);
        takes[kTimer] = {};
        now += c.inCallback ? 0ms : std::chrono::milliseconds(c.stallMs);
        runUntil(h, std::chrono::milliseconds(c.stallMs + 10));
        EXPECT_EQ(ticks[kTimer], c.expected) << c.what;
        TearDown();
        ticks.clear();
        timers.clear();
        now = start;
    }
}

TEST_F(SimulatedTime, ASlowTimerKeepsItsRateWhileAFastOnesCallbacksFillTheTime) {
    // The statistics timer beside scans that take most of the sampling period: each of its
    // deadlines falls inside a scan and comes right after it, so each reading covers one
    // period, not two.
    const int h = loadQuiet();
    takes[kTimer] = 8ms;
    run(h, kTimer, 0.01);
    now += 5ms;
    run(h, kStats, 0.05);
    runUntil(h, 1000ms);
    std::map<int, int> slow;
    for (int ms = 58; ms < 1000; ms += 50) slow[ms] = 1;
    EXPECT_EQ(ticks[kStats], slow);
    EXPECT_EQ(ticks[kTimer].size(), 100u);
    EXPECT_EQ(ticks[kTimer].rbegin()->first, 1000);
}

TEST_F(SimulatedTime, IntervalsAreHeldBetweenAMicrosecondAndADay) {
    const int h = loadQuiet();
    for (const auto& [asked, held] :
         {std::pair{1e-12, 1e-6}, {5e-10, 1e-6}, {2e-6, 2e-6}, {1e10, 86400.0}, {1e300, 86400.0}}) {
        SetCtrlAttribute(h, kTimer, ATTR_INTERVAL, asked);
        EXPECT_EQ(Interval(h, kTimer), held) << asked;
    }
    for (double ignored : {0.0, -1.0, std::nan("")}) {
        EXPECT_EQ(SetCtrlAttribute(h, kTimer, ATTR_INTERVAL, ignored), engine::kBadValue);
        EXPECT_EQ(Interval(h, kTimer), 86400.0);
    }
    EXPECT_EQ(TimerDeadline(h, kTimer) - now, 86400s);  // the longest without overflowing
    run(h, kTimer, 1e-12);                              // the shortest without dividing by zero
    runUntil(h, 100us);
    EXPECT_EQ(ticks[kTimer][0], 100);
}
