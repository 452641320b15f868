// Timer controls and the one rule for late ticks, played out on a simulated clock: the timer
// whose deadline comes first rings, the clock moving on to that deadline; a callback or a stall
// of the window moves it on by the time it takes.
#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <utility>

#include "engine/panels/recording_callbacks.h"

using namespace engine::testing;
using namespace std::chrono_literals;
using engine::TickTime;

namespace {

class SimulatedTime : public EngineTest {
  protected:
    // Far beyond the steady clock: the real alarm, set to these moments, never rings.
    const TickTime start{std::chrono::hours(100000)};
    TickTime now = start;
    struct Slow {
        int ticks;
        std::chrono::microseconds each;
    };
    std::map<int, Slow> slow;                 // a control's next ticks whose callbacks take time
    std::map<int, std::map<int, int>> ticks;  // control: ticks at each millisecond
    std::vector<std::chrono::microseconds> when;  // every tick's start
    std::function<void()> duringTick;             // once, inside the next tick
    std::vector<int> timers;                      // the ones running
    void SetUp() override {
        EngineTest::SetUp();
        engine::SetTickClock([this] { return now; });
        onTick = [this] {
            const int control = delivered.back().control;
            ++ticks[control][static_cast<int>((now - start) / 1ms)];
            when.push_back(std::chrono::duration_cast<std::chrono::microseconds>(now - start));
            if (duringTick) std::exchange(duringTick, nullptr)();
            if (slow[control].ticks-- > 0) now += slow[control].each;
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

TEST_F(SimulatedTime, MissedDeadlinesGiveOneLateTickThenTheGridNeverTwoWithinHalfAPeriod) {
    const struct {
        const char* what;
        std::chrono::microseconds lost;  // the window stalled after the tick at 5 ms, or its
        int callbacks;  // callbacks from 5 ms on took that long (0: a stall; -1: a popup)
        std::map<int, int> expected;  // ticks at each millisecond
    } cases[] = {
        // The window stalled: one late tick, no burst, then the grid at 26 ms.
        {"stall of 20 ms", 20ms, 0, oneEach(1, 5, oneEach(26, 30, {{25, 1}}))},
        // Late at 25.7 ms: 26 ms would be closer than half a period, so 27 ms comes next.
        {"stall of 20.7 ms", 20700us, 0, oneEach(1, 5, oneEach(27, 30, {{25, 1}}))},
        {"stall of 200 ms", 200ms, 0, oneEach(1, 5, oneEach(206, 210, {{205, 1}}))},
        // The tick at 5 ms took 20 ms: the deadlines inside it come as one, right after it.
        {"callback of 20 ms", 20ms, 1, oneEach(1, 5, oneEach(26, 30, {{25, 1}}))},
        {"callback of 200 ms", 200ms, 1, oneEach(1, 5, oneEach(206, 210, {{205, 1}}))},
        // The late tick's own callback is slow too: the deadlines inside that one come once.
        {"two callbacks of 20 ms", 20ms, 2, oneEach(1, 5, oneEach(46, 50, {{25, 1}, {45, 1}}))},
        // A popup of the 5 ms tick, closed at 25.7 ms: the tick held back meanwhile comes
        // once it has closed, and the grid resumes half a period after that one.
        {"popup until 25.7 ms", 20700us, -1, oneEach(1, 5, oneEach(27, 30, {{25, 1}}))},
    };
    for (const auto& c : cases) {
        SetUp();
        const int h = loadQuiet();
        run(h, kTimer, 0.001);
        runUntil(h, 5ms - 1us);
        slow[kTimer] = {std::max(0, c.callbacks), c.lost};
        if (c.callbacks < 0)
            duringTick = [&, h] {
                engine::SetPopupResponder([&, h](const engine::PopupRecord&) {
                    now += c.lost - 700us;
                    RingTimer(h, kTimer);  // held back: a popup counts as a running callback
                    now += 700us;
                });
                MessagePopup("Title", "Text");
            };
        runUntil(h, 5ms);
        if (c.callbacks < 0) {  // the held tick, once the popup's callback has ended
            EXPECT_TRUE(QTest::qWaitFor([&] { return ticks[kTimer].count(25) > 0; }, 1000));
        }
        if (c.callbacks == 0) now += c.lost;
        runUntil(h, 10ms + c.lost * std::max(1, c.callbacks));
        EXPECT_EQ(ticks[kTimer], c.expected) << c.what;
        for (std::size_t i = 1; i < when.size(); ++i)
            EXPECT_GE(when[i] - when[i - 1], 500us) << c.what << " tick " << i;
        TearDown();
        ticks.clear();
        when.clear();
        timers.clear();
        slow.clear();
        now = start;
    }
}

TEST_F(SimulatedTime, ASlowTimerKeepsItsRateWhileAFastOnesCallbacksFillTheTime) {
    // The statistics timer beside scans that take most of the sampling period: each of its
    // deadlines falls inside a scan and comes right after it, so each reading covers one
    // period, not two.
    const int h = loadQuiet();
    slow[kTimer] = {1000, 8ms};
    run(h, kTimer, 0.01);
    now += 5ms;
    run(h, kStats, 0.05);
    runUntil(h, 1000ms);
    std::map<int, int> late;
    for (int ms = 58; ms < 1000; ms += 50) late[ms] = 1;
    EXPECT_EQ(ticks[kStats], late);
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
