// The vertical scale of a chart: grid steps of 1, 2 or 5 times a power of ten, as anyone
// reading a plot expects, and a range widened to whole steps.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace engine {

struct ChartScale {
    double low = 0, high = 1, step = 0.2;
    int decimals = 1;  // for tick labels: enough to tell the steps apart
};

// A scale of about four to eight steps that holds low..high. It never reaches below zero
// when low is not below zero (nor above zero when high is not above it). Whatever the
// numbers, its step is a finite number above zero and its decimals 0 to 15.
ChartScale NiceScale(double low, double high);

// The range a chart draws for the one it is given: finite, the lower end first, both ends
// within kMaxChartValue, and at least kMinChartRange wide (widened about its middle).
std::pair<double, double> HeldRange(double low, double high);

// Whether a range can be drawn as given (by hand, or from a settings file): nothing when it
// can, else why not in one line for the operator: both ends numbers, the minimum below the
// maximum, within kMaxChartValue, at least kMinChartRange apart.
std::optional<std::string> CheckChartRange(std::pair<double, double> range);

}  // namespace engine
