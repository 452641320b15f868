#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
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
    // Edge, mode, channel, level (in its unit), volts per code, wave, the scans that fire.
    const std::tuple<TriggerEdge, TriggerMode, engine::ChannelSetup, double, double,
                     const std::vector<int>&, std::vector<int>>
        cases[] = {
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
            // A level that lies nowhere (gain 0) is never crossed.
            {TriggerEdge::rising, TriggerMode::normal, {"A", "V", 0, 0}, 100, 1, kRises, {}},
        };
    for (const auto& [edge, mode, channel, level, resolution, wave, fired] : cases) {
        LevelTrigger trigger;
        trigger.configure({1, edge, level, 0.5, mode}, channel, resolution);
        EXPECT_EQ(Firings(trigger, wave), fired) << level << " " << channel.gain;
    }
    // Single, armed again: the signal must first come back below the level.
    LevelTrigger single;
    single.configure({1, TriggerEdge::rising, 100, 0.5, TriggerMode::single}, {"A"}, 1);
    Firings(single, kRises);
    single.arm();
    EXPECT_EQ(Firings(single, {130, 100, 96, 95, 100}), std::vector<int>{4});
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
