#include "engine/chart/chart_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/chart/chart_limits.h"

namespace engine {

std::optional<std::string> CheckChartRange(std::pair<double, double> range) {
    const auto [low, high] = range;
    if (!std::isfinite(low) || !std::isfinite(high)) return "Minimum and maximum must be numbers.";
    if (low >= high) return "The minimum must be below the maximum.";
    if (std::fabs(low) > kMaxChartValue || std::fabs(high) > kMaxChartValue)
        return "Minimum and maximum must be within -1e6 to 1e6.";
    if (high - low < kMinChartRange) {
        char least[32];
        std::snprintf(least, sizeof least, "%.3g", kMinChartRange);
        return "The range must span at least " + std::string(least) + ".";
    }
    return std::nullopt;
}

ChartScale NiceScale(double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high)) return {};
    // Held far beyond anything drawn, so that the span and the steps stay finite numbers.
    constexpr double kFar = 1e15;
    low = std::clamp(low, -kFar, kFar);
    high = std::clamp(high, -kFar, kFar);
    if (low > high) std::swap(low, high);
    double span = high - low;
    if (span <= 0) span = low != 0 ? std::fabs(low) * 0.2 : 1;  // one value: a little room
    // No finer than the ends' own rounding can tell apart: a step must move a grid line.
    span = std::max(span, std::max({std::fabs(low), std::fabs(high), 1e-3}) * 1e-9);
    // The smallest 1-2-5 step that covers the span in at most eight steps.
    const double magnitude = std::pow(10.0, std::floor(std::log10(span / 8)));
    double step = magnitude;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * magnitude;
        if (span / step <= 8) break;
    }
    ChartScale s;
    s.step = step;
    s.low = std::floor(low / step + 1e-9) * step;
    s.high = std::ceil(high / step - 1e-9) * step;
    if (s.high - s.low < step) s.high = s.low + step;  // one value sits on a line, not an edge
    if (s.low == high) s.low -= step;
    if (low >= 0) s.low = std::max(s.low, 0.0);
    if (high <= 0) s.high = std::min(s.high, 0.0);
    if (s.high <= s.low) s.high = s.low + step;
    s.decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 15);
    return s;
}

std::pair<double, double> HeldRange(double low, double high) {
    if (!std::isfinite(low)) low = 0;
    if (!std::isfinite(high)) high = low;
    low = std::clamp(low, -kMaxChartValue, kMaxChartValue);
    high = std::clamp(high, -kMaxChartValue, kMaxChartValue);
    if (low > high) std::swap(low, high);
    if (high - low >= kMinChartRange) return {low, high};
    const double middle = std::clamp(low / 2 + high / 2, -kMaxChartValue + kMinChartRange / 2,
                                     kMaxChartValue - kMinChartRange / 2);
    return {middle - kMinChartRange / 2, middle + kMinChartRange / 2};
}

}  // namespace engine
