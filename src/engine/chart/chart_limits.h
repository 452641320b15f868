// What a strip chart can hold and draw: the bounds the chart keeps its properties to, and the
// ones a panel resource is checked against before a chart is made from it.
#pragma once

namespace engine {

constexpr int kMaxChartTraces = 16;
constexpr int kMinChartHistory = 2;          // a trace needs two points to be a line
constexpr int kMaxChartHistory = 1'000'000;  // 16 MB of points at 8 traces

}  // namespace engine
