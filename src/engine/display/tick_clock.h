// The clock timer controls keep their deadlines on and the callback gate times callbacks
// with: the steady clock, or a simulated one a test sets, so that deadlines, slow callbacks and
// stalls of the window can be played out in simulated time with exact expectations.
#pragma once

#include <chrono>
#include <functional>

namespace engine {

using TickClock = std::chrono::steady_clock;
using TickTime = TickClock::time_point;

TickTime TickNow();
// For tests: the clock TickNow reads (nullptr: the steady clock again).
void SetTickClock(std::function<TickTime()> clock);

}  // namespace engine
