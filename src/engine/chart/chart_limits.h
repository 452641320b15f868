// What a strip chart can hold and draw: the bounds the chart keeps its properties to, and the
// ones a panel resource is checked against before a chart is made from it. Both read them
// here, so a value the check lets through is one the chart draws as given.
#pragma once

namespace engine {

constexpr int kMaxChartTraces = 16;
constexpr int kMinChartHistory = 2;          // a trace needs two points to be a line
constexpr int kMaxChartHistory = 1'000'000;  // 16 MB of points at 8 traces

// The vertical range, in the chart's unit (volts for the converter): no end further out than
// kMaxChartValue, and at least a few converter steps from one end to the other, so that the
// grid's steps stay well above the rounding of the numbers they add up.
constexpr double kConverterStep = 2.5 / 4096;
constexpr double kMinChartRange = 4 * kConverterStep;
constexpr double kMaxChartValue = 1e6;

// The seconds shown, ending at the newest scan: a column of the plot spans at least a few
// microseconds, and a day is the longest look back.
constexpr double kMinChartSpan = 0.01;
constexpr double kMaxChartSpan = 86'400;

// The step the points are kept in (each point within +-32767 of them).
constexpr double kMinChartResolution = 1e-6;
constexpr double kMaxChartResolution = 10;

// Grid lines drawn across the plot on either axis: the scale asks for about eight, and
// whatever the numbers, a paint never draws more than this.
constexpr int kMaxChartGridLines = 64;

}  // namespace engine
