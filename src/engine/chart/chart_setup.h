// How the operator has set a strip chart up, apart from its data: what a settings file keeps
// between runs and gives back at the next.
#pragma once

#include <utility>
#include <vector>

namespace engine {

// The vertical range: the resource's fixed one, fitted to the data shown, or set by hand.
enum class ChartRange { fixed, autoscale, manual };

struct ChartSetup {
    double span = 10;  // seconds shown
    ChartRange range = ChartRange::fixed;
    // By hand, on the one shared axis, in the traces' unit.
    std::pair<double, double> manual{0, 2.5};
    // By hand, lane by lane (one per trace, in that trace's unit); empty: each lane's fixed
    // range, the resource's volts through its calibration.
    std::vector<std::pair<double, double>> laneRanges;
    std::vector<bool> hidden;  // per trace
    bool lanes = false;        // one lane per visible trace, each with its own scale
    bool operator==(const ChartSetup& o) const {
        return span == o.span && range == o.range && manual == o.manual &&
               laneRanges == o.laneRanges && hidden == o.hidden && lanes == o.lanes;
    }
};

}  // namespace engine
