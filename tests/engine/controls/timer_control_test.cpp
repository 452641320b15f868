// Timer controls and the one rule for late ticks, on a simulated clock that moves on to each
// deadline, and on by the time a callback or a stall of the window takes.
#include <gtest/gtest.h>

#include <QTest>

#include <chrono>
#include <cmath>
#include <map>
#include <thread>
#include <utility>

#include "engine/controls/rate_meter.h"
#include "engine/display/alarm.h"
#include "engine/panels/recording_callbacks.h"
#include "engine/ports/port_io.h"

using namespace engine::testing;
using namespace std::chrono_literals;

namespace {

class SimulatedTime : public EngineTest {
  protected:
    // Far beyond the steady clock: the real alarm, set to these moments, never rings.
    const engine::TickTime start{std::chrono::hours(100000)};
    engine::TickTime now = start;
    int slowTicks = 0;  // the next ticks whose callbacks take time
    std::chrono::microseconds slowEach{};
    std::map<int, int> ticks;          // ticks at each millisecond
    std::function<void()> duringTick;  // once, inside the next tick
    engine::TickTime lastTick{};
    std::chrono::nanoseconds closest = std::chrono::hours(1);  // the shortest interval
    void SetUp() override {
        EngineTest::SetUp();
        engine::SetTickClock([this] { return now; });
        onTick = [this] {
            ++ticks[static_cast<int>((now - start) / 1ms)];
            if (lastTick != engine::TickTime{}) closest = std::min(closest, now - lastTick);
            lastTick = now;
            if (duringTick) std::exchange(duringTick, nullptr)();
            if (slowTicks-- > 0) now += slowEach;
        };
    }
    void run(int h, double interval) {
        engine::FindControl(h, kTimer)->widget->setProperty("running", true);
        SetCtrlAttribute(h, kTimer, ATTR_INTERVAL, interval);  // the grid starts now
    }
    void runUntil(int h, std::chrono::microseconds until) {
        while (TimerDeadline(h, kTimer) <= start + until) {
            now = std::max(now, TimerDeadline(h, kTimer));
            RingTimer(h, kTimer);
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
        {"stall of 20 ms", 20ms, 0, oneEach(1, 5, oneEach(26, 30, {{25, 1}}))},
        // Late at 25.7 ms: the 26 ms deadline comes half a period on, at 26.2 ms.
        {"stall of 20.7 ms", 20700us, 0, oneEach(1, 5, oneEach(26, 30, {{25, 1}}))},
        {"callback of 20 ms", 20ms, 1, oneEach(1, 5, oneEach(26, 30, {{25, 1}}))},
        {"two callbacks of 20 ms", 20ms, 2, oneEach(1, 5, oneEach(46, 50, {{25, 1}, {45, 1}}))},
        // A popup of the 5 ms tick, closed at 25.7 ms: the tick held back meanwhile comes
        // once it has closed, and the next no sooner than half a period after that one.
        {"popup until 25.7 ms", 20700us, -1, oneEach(1, 5, oneEach(26, 30, {{25, 1}}))},
    };
    for (const auto& c : cases) {
        SetUp();
        ticks.clear();
        now = start;
        lastTick = {};
        closest = std::chrono::hours(1);
        const int h = loadQuiet();
        run(h, 0.001);
        runUntil(h, 5ms - 1us);
        slowTicks = std::max(0, c.callbacks);
        slowEach = c.lost;
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
        // A popup's held tick comes once its callback has ended.
        EXPECT_TRUE(c.callbacks >= 0 || QTest::qWaitFor([&] { return ticks.count(25); }, 1000));
        if (c.callbacks == 0) now += c.lost;
        runUntil(h, 10ms + c.lost * std::max(1, c.callbacks));
        EXPECT_EQ(ticks, c.expected) << c.what;
        EXPECT_GE(closest, 500us) << c.what;
        TearDown();
    }
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
    run(h, 1e-12);                                      // the shortest without dividing by zero
    runUntil(h, 100us);
    EXPECT_EQ(ticks[0], 100);
}

TEST(Alarm, AFrameWithinAMillisecondBeforeATickRingsWithIt) {
    using engine::Alarm;
    const auto far = Alarm::Clock::now() + 1h;  // never rings while the test runs
    const struct {
        bool tickFirst;
        std::chrono::microseconds frameBefore;  // the frame asked for this long before the tick
        bool together;
    } cases[] = {
        {true, 500us, true}, {false, 300us, true},   {true, 0us, true},
        {true, 2ms, false},  {false, 1500us, false}, {true, -100us, false},  // after: not earlier
    };
    for (const auto& c : cases) {
        Alarm tick([] {}, nullptr), frame([] {}, nullptr, 1ms);
        const auto at = far + 1ms * (&c - cases), asked = at - c.frameBefore;
        if (c.tickFirst) tick.set(at);
        frame.set(asked);
        if (!c.tickFirst) tick.set(at);
        EXPECT_EQ(frame.ringsAt(), c.together ? at : asked) << c.frameBefore.count();
        EXPECT_EQ(tick.ringsAt(), at);
    }
}

TEST(Alarm, OnItsGridARepeatingAlarmRingsByItselfAndCostsNoSettingAgain) {
    using engine::Alarm;
    int rings = 0;
    Alarm alarm([&] { ++rings; }, nullptr);
    const auto start = Alarm::Clock::now() + 1ms;
    alarm.set(start, 1ms);
    const long settings = alarm.settings();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rings >= 10; }, 5000));  // never set again
    EXPECT_EQ((alarm.ringsAt() - start) % 1ms, 0ns);                  // on its grid
    alarm.set(alarm.ringsAt(), 1ms);                                  // where it rings next anyway
    EXPECT_EQ(alarm.settings(), settings);
    alarm.set(alarm.ringsAt() + 500us);  // off the grid: set, once
    EXPECT_EQ(alarm.settings(), settings + 1);
    alarm.cancel();

    // A loop held up for several periods: the next ring is still the grid's next, not behind.
    std::vector<bool> ahead;
    Alarm held(
        [&] {
            ahead.push_back(held.ringsAt() > Alarm::Clock::now());
            if (ahead.size() == 1) std::this_thread::sleep_for(70ms);
        },
        nullptr);
    held.set(Alarm::Clock::now() + 20ms, 20ms);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ahead.size() >= 2; }, 5000));
    EXPECT_EQ(ahead, std::vector<bool>(ahead.size(), true));
}

TEST(RateMeter, WarnsOfTooFewScansAndOfARateBeyondWhatThePortAllows) {
    struct Port : engine::PortBackend {
        void write(std::uint16_t, std::uint8_t) override {}
        std::uint8_t read(std::uint16_t) override { return 0; }
        bool readPhysical(std::uint32_t, void*, std::size_t) override { return false; }
        void pause(double) override {}
        double scanCeiling() const override { return ceiling; }
        double ceiling = 0;
    } port;
    engine::UsePortBackend(&port);
    TimerControl timer;
    RateMeter meter;
    meter.bind(&timer);
    meter.setMaximum(30000);
    const struct {
        double requested, ceiling;
        int made;
        bool warning;
        const char* says;
    } seconds[] = {
        {1000, 0, 950, false, "Scans made in the last second"},
        {1000, 0, 899, true, "the computer or the port cannot keep up"},
        {2000, 1600, 1590, true, "the port allows at most 1600 scans/s"},
        {20000, 1760.9, 1760, true, "the port allows at most 1760 scans/s"},
        {1500, 1600, 1499, false, "Scans made in the last second"},
        {1500, 1600, 1000, true, "the computer or the port cannot keep up"},
    };
    for (const auto& s : seconds) {
        timer.setInterval(1 / s.requested);
        port.ceiling = s.ceiling;
        meter.showRate(s.made);
        EXPECT_EQ(meter.warning(), s.warning) << s.requested << " " << s.made;
        EXPECT_TRUE(meter.toolTip().contains(s.says)) << meter.toolTip().toStdString();
    }
    engine::UsePortBackend(nullptr);
}
