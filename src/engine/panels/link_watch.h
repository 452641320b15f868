// The link's health, said where the operator and the reader of a file look: each scan plotted
// to a chart is judged (see LinkHealth); a fault is said on the status line with its likely
// cause and what to check, once as a comment in a running recording, and the scans it touches
// are hatched on the chart. When real readings return, the status line is as it was.
#pragma once

namespace engine {

class ChartFeed;

// `points` values from `first`, skipCount values apart, all taken at `seconds`: whole scans of
// the feed's chart.
void WatchLink(ChartFeed& feed, const double* first, int points, int skipCount, double seconds);

}  // namespace engine
