#include "engine/chart/level_trigger.h"

#include <algorithm>
#include <cmath>

namespace engine {

std::optional<std::string> CheckTrigger(const TriggerSetup& setup, int channels) {
    if (setup.channel < 0 || setup.channel >= channels)
        return "The trigger's channel must be one of the chart's " + std::to_string(channels) +
               " channels.";
    if (setup.edge != TriggerEdge::rising && setup.edge != TriggerEdge::falling)
        return std::string("The trigger's edge must be rising or falling.");
    if (setup.mode != TriggerMode::off && setup.mode != TriggerMode::single &&
        setup.mode != TriggerMode::normal)
        return std::string("The trigger's mode must be off, single or normal.");
    if (!std::isfinite(setup.level)) return std::string("The trigger's level must be a number.");
    if (!(setup.position >= 0 && setup.position <= 1))
        return std::string("The trigger's position must lie between 0 (left) and 1 (right).");
    return std::nullopt;
}

void LevelTrigger::configure(const TriggerSetup& setup, const ChannelSetup& channel,
                             double resolution) {
    setup_ = setup;
    channel_ = setup.channel;
    armed_ = primed_ = false;
    // A level beyond the history's codes is clamped to its last code. One that lies nowhere
    // (a gain of 0, no resolution) or a channel that does not exist is set past every code,
    // on channel 0: it never fires.
    const double code = std::round(channel.volts(setup.level) / resolution);
    // A negative gain turns the value's rise into falling volts, and so falling codes.
    rising_ = (setup.edge == TriggerEdge::rising) != (channel.gain < 0);
    if (!std::isfinite(code) || !(resolution > 0) || channel_ < 0) {
        channel_ = 0;
        rising_ = true;
        level_ = INT16_MAX + kHysteresisCodes + 1;
    } else {
        level_ = static_cast<int>(std::clamp(code, double(INT16_MIN), double(INT16_MAX)));
    }
    reset_ = rising_ ? level_ - kHysteresisCodes : level_ + kHysteresisCodes;
    arm();
}

void LevelTrigger::arm() {
    armed_ = setup_.mode != TriggerMode::off;
    // A signal already past the level when armed must first come back across it.
    primed_ = false;
}

bool LevelTrigger::fire() {
    primed_ = false;
    if (setup_.mode == TriggerMode::single) armed_ = false;
    return true;
}

}  // namespace engine
