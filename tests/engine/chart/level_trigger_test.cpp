#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/chart/level_trigger.h"

using engine::LevelTrigger;
using engine::TriggerEdge;
using engine::TriggerMode;

namespace {
// The scans at which the trigger on the second of two traces fires; the first trace runs
// against it, so a trigger reading the wrong trace fires elsewhere.
std::vector<int> Firings(LevelTrigger& trigger, const std::vector<int>& wave) {
    std::vector<int> fired;
    for (int i = 0; i < static_cast<int>(wave.size()); ++i) {
        const std::int16_t scan[] = {static_cast<std::int16_t>(200 - wave[i]),
                                     static_cast<std::int16_t>(wave[i])};
        if (trigger.feed(scan)) fired.push_back(i);
    }
    return fired;
}
// Starts past the level (no firing), noise within the hysteresis around it, two real rises.
const std::vector<int> kRises = {120, 90, 99, 100, 101, 98, 100, 95, 130};
const std::vector<int> kFalls = {80, 104, 105, 100, 110, 99, 97, 103};
}  // namespace

TEST(LevelTrigger, FiresAtTheExactScansOfAFedWaveform) {
    const struct {
        TriggerEdge edge;
        TriggerMode mode;
        engine::ChannelSetup channel;
        double level, resolution;
        const std::vector<int>& wave;
        std::vector<int> fired;
    } cases[] = {
        {TriggerEdge::rising, TriggerMode::normal, {"A", "V", 1, 0}, 100, 1, kRises, {3, 8}},
        {TriggerEdge::rising, TriggerMode::single, {"A", "V", 1, 0}, 100, 1, kRises, {3}},
        {TriggerEdge::rising, TriggerMode::off, {"A", "V", 1, 0}, 100, 1, kRises, {}},
        {TriggerEdge::falling, TriggerMode::normal, {"A", "V", 1, 0}, 100, 1, kFalls, {3, 5}},
        // Level in the unit: 210 °C is 100 V at 2 °C/V + 10, 50 V is code 100 at 0.5 V/step.
        {TriggerEdge::rising, TriggerMode::normal, {"A", "°C", 2, 10}, 210, 1, kRises, {3, 8}},
        {TriggerEdge::rising, TriggerMode::normal, {"A", "V", 1, 0}, 50, 0.5, kRises, {3, 8}},
        // A negative gain: the value rises as the codes fall.
        {TriggerEdge::rising, TriggerMode::normal, {"A", "V", -1, 0}, -100, 1, kFalls, {3, 5}},
        {TriggerEdge::falling, TriggerMode::normal, {"A", "V", -1, 0}, -100, 1, kRises, {3, 8}},
        // A level beyond the history's codes, or nowhere (gain 0), is never crossed.
        {TriggerEdge::rising, TriggerMode::normal, {"A", "V", 1, 0}, 1e9, 1, kRises, {}},
        {TriggerEdge::rising, TriggerMode::normal, {"A", "V", 0, 0}, 100, 1, kRises, {}},
    };
    for (const auto& c : cases) {
        LevelTrigger trigger;
        trigger.configure({1, c.edge, c.level, 0.5, c.mode}, c.channel, c.resolution);
        EXPECT_EQ(Firings(trigger, c.wave), c.fired) << c.level << " " << c.channel.gain;
    }
}

TEST(LevelTrigger, SingleHoldsUntilArmedAndThenWaitsForTheSignalToComeBack) {
    LevelTrigger trigger;
    trigger.configure({1, TriggerEdge::rising, 100, 0.5, TriggerMode::single}, {"A"}, 1);
    EXPECT_EQ(Firings(trigger, kRises), std::vector<int>{3});
    EXPECT_FALSE(trigger.armed());
    trigger.arm();
    EXPECT_EQ(Firings(trigger, {130, 100, 96, 95, 100}), std::vector<int>{4});
    EXPECT_EQ(trigger.levelCode(), 100);
}

TEST(LevelTrigger, ASetupFromOutsideIsCheckedFirst) {
    EXPECT_FALSE(engine::CheckTrigger({7, TriggerEdge::falling, -3, 1, TriggerMode::normal}, 8));
    const engine::TriggerSetup refused[] = {{-1},
                                            {8},
                                            {0, static_cast<TriggerEdge>(2)},
                                            {0, TriggerEdge::rising, NAN},
                                            {0, TriggerEdge::rising, 1, 1.1},
                                            {0, TriggerEdge::rising, 1, NAN}};
    for (const auto& s : refused) EXPECT_TRUE(engine::CheckTrigger(s, 8)) << s.channel;
}
