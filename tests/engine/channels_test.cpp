#include <gtest/gtest.h>

#include <cmath>

#include "engine/channels.h"

using engine::ChannelSetup;

TEST(Channels, CalibrationTurnsVoltsIntoTheUnitAndBack) {
    const ChannelSetup oven{"Oven", "°C", 40, -10};  // 40 °C per volt, -10 °C at 0 V
    EXPECT_DOUBLE_EQ(oven.value(1.25), 40);
    EXPECT_DOUBLE_EQ(oven.volts(90), 2.5);
    EXPECT_EQ(engine::CalibratedColumn({"Supply rail", "V", 2, 0}), "Supply_rail_V");
    EXPECT_EQ(engine::CalibratedColumn({"Supply rail", "", 2, 0}), "Supply_rail");
}

TEST(Channels, OnlyUsableNamesUnitsAndFiniteNonZeroGainsAreTaken) {
    const ChannelSetup usable[] = {
        {"Supply rail", "V", 1, 0},
        {"Oven", "°C", -3.5, 1e12},
        {std::string(24, 'x'), "", 1, 0},
        {"°°°°°°°°°°°°°°°°°°°°°°°°", "kPa", 1, 0}};  // 24 characters in 48 bytes
    for (const auto& c : usable) EXPECT_FALSE(engine::CheckChannel(c)) << c.name;
    const std::string badNames[] = {
        std::string(25, 'x'), "", "a,b", "a\"b", "a\\b", " lead", "trail ", "tab\tin", "bad\xff"};
    for (const auto& name : badNames) EXPECT_TRUE(engine::CheckChannel({name})) << name;
    for (const char* unit : {"abcdefghi", "V\n", "k,Pa"})
        EXPECT_TRUE(engine::CheckChannel({"CH1", unit})) << unit;
    const std::pair<double, double> badLines[] = {{NAN, 0}, {2e9, 0}, {1, -2e12}, {1, INFINITY}};
    for (const auto& [gain, offset] : badLines)
        EXPECT_TRUE(engine::CheckChannel({"CH1", "V", gain, offset})) << gain << " " << offset;
    EXPECT_EQ(engine::CheckChannel({"CH1", "V", 0, 0}), "Gain must not be 0.");
}

TEST(Channels, TwoPointFitGivesTheLineThroughBothMeansAndItsResidual) {
    // Means 0.5 V and 1.5 V for 0 and 100 kPa: 100 kPa per volt, -50 kPa; every scan 0.01 V
    // (1 kPa) off its mean.
    const auto fit =
        engine::FitTwoPoints({0, {0.49, 0.51}}, {100, {1.49, 1.51, 1.49, 1.51}}, 2.5 / 4096);
    ASSERT_TRUE(fit.result) << fit.refusal;
    EXPECT_NEAR(fit.result->gain, 100, 1e-9);
    EXPECT_NEAR(fit.result->offset, -50, 1e-9);
    EXPECT_NEAR(fit.result->residual, 1, 1e-9);
    // No scans, the same known value twice, means within a step, a gain beyond bounds, NaN.
    const std::pair<engine::CalibrationPoint, engine::CalibrationPoint> refused[] = {
        {{0, {}}, {100, {1.5}}},
        {{5, {0.5}}, {5, {1.5}}},
        {{0, {1.0}}, {100, {1.0003}}},
        {{0, {0.0}}, {1e12, {1.0}}},
        {{0, {0.5, NAN}}, {100, {1.5}}}};
    for (const auto& [first, second] : refused) {
        const auto r = engine::FitTwoPoints(first, second, 2.5 / 4096);
        EXPECT_TRUE(!r.result && !r.refusal.empty()) << first.known << " " << second.known;
    }
}
