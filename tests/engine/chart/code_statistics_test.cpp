#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "engine/chart/code_statistics.h"
#include "engine/chart/statistics_window.h"

using engine::CodeStatisticsOf;

namespace {
// Every code from 0 to 4095 once, as a slow ramp gives, with the data line of `bit` held.
std::vector<std::int16_t> RampWithBitHeld(int bit, bool high) {
    std::vector<std::int16_t> codes;
    for (int c = 0; c < 4096; ++c)
        codes.push_back(static_cast<std::int16_t>(high ? c | 1 << bit : c & ~(1 << bit)));
    return codes;
}
}  // namespace

TEST(CodeStatistics, HistogramRangeMissingCodesAndStuckBitsOfFedCodes) {
    const struct {
        std::vector<std::int16_t> codes;
        long count, outOfRange;
        int low, high, missing;
        double mean, deviation;
        unsigned stuckHigh, stuckLow;
    } cases[] = {
        // Even codes only across an odd boundary: bit 0 held low, 2049 missing.
        {{2048, 2048, 2050, 2050}, 4, 0, 2048, 2050, 1, 2049, 1, 0, 1},
        // Values beyond the converter count in the figures, not in the histogram.
        {{-3, 0, 4095, 5000}, 4, 2, -3, 5000, 4094, 2273, 2296.8956223564014, 0, 0},
        {RampWithBitHeld(3, false), 4096, 0, 0, 4087, 2040, 2043.5, 1182.40655, 0, 1u << 3},
        {RampWithBitHeld(5, true), 4096, 0, 32, 4095, 2016, 2063.5, 1182.30506, 1u << 5, 0},
        {{}, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto s = CodeStatisticsOf(c.codes.data(), static_cast<long>(c.codes.size()));
        EXPECT_EQ(std::tie(s.count, s.outOfRange, s.low, s.high, s.missingCodes),
                  std::tie(c.count, c.outOfRange, c.low, c.high, c.missing));
        EXPECT_EQ(std::tie(s.stuckHigh, s.stuckLow), std::tie(c.stuckHigh, c.stuckLow)) << c.count;
        EXPECT_NEAR(s.mean, c.mean, 1e-9);
        EXPECT_NEAR(s.deviation, c.deviation, 1e-4);
    }
    // Two traces interleaved: the stride picks the second; its histogram is its own.
    const std::int16_t scans[] = {9, 100, 9, 101, 9, 101};
    const auto h = CodeStatisticsOf(scans + 1, 3, 2).histogram;
    EXPECT_EQ(std::make_tuple(h[9], h[100], h[101]), std::make_tuple(0u, 1u, 2u));
}

TEST(CodeStatistics, EffectiveBitsOfASteadyInput) {
    // 2047, 2048, 2049, 2048 again and again: deviation sqrt(1/2) step, so 12 - log2(sqrt(6)).
    std::vector<std::int16_t> steady;
    for (int i = 0; i < 1000; ++i) steady.insert(steady.end(), {2047, 2048, 2049, 2048});
    const auto s = CodeStatisticsOf(steady.data(), static_cast<long>(steady.size()));
    ASSERT_TRUE(s.steady());
    EXPECT_NEAR(s.noiseSteps(), 0.70711, 1e-5);
    EXPECT_NEAR(s.effectiveBits(), 10.70752, 1e-5);
    const std::int16_t still[] = {300, 300, 300}, apart[] = {300, 365};
    EXPECT_EQ(CodeStatisticsOf(still, 3).effectiveBits(), 12);  // within the converter's rounding
    EXPECT_FALSE(CodeStatisticsOf(apart, 2).steady());
}

TEST(StatisticsWindow, ShowsAStuckBitAndTheCalibratedValue) {
    const auto ramp = RampWithBitHeld(3, false);
    const std::int16_t still[] = {2048};
    engine::StatisticsWindow window;
    window.refresh({{{"Ramp", "V", 1, 0}, CodeStatisticsOf(ramp.data(), 4096)},
                    {{"Tank", "kPa", 100, -50}, CodeStatisticsOf(still, 1)}},
                   2.5 / 4096);
    EXPECT_EQ(window.cell(0, engine::StatisticsWindow::kStuck), "bit 3 stuck at 0");
    EXPECT_EQ(window.cell(1, engine::StatisticsWindow::kMean), "75.00 kPa (2048.0)");
    EXPECT_TRUE(window.histogram().summary().contains("Missing: 8, 9, 10"))
        << window.histogram().summary().toStdString();
}
