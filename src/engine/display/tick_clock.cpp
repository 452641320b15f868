#include "engine/display/tick_clock.h"

#include <utility>

namespace engine {
namespace {
std::function<TickTime()> simulated;
}  // namespace

TickTime TickNow() {
    return simulated ? simulated() : TickClock::now();
}

void SetTickClock(std::function<TickTime()> clock) {
    simulated = std::move(clock);
}

}  // namespace engine
