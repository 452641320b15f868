// A level trigger on one channel, fed scan by scan with the codes the chart keeps: it fires at
// the scan that crosses the level in the chosen direction. A crossing counts only after the
// signal has been on the far side of the level by the hysteresis, so noise riding on a slow
// edge fires once. Detection is a compare or two per scan: cheap enough to run on every scan
// at any rate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/channels.h"

namespace engine {

enum class TriggerEdge { rising, falling };
// off: never fires; single: fires once, then holds until armed again; normal: fires at every
// crossing.
enum class TriggerMode { off, single, normal };

// The trigger as the operator sets it: in the channel's unit.
struct TriggerSetup {
    int channel = 0;  // 0-based
    TriggerEdge edge = TriggerEdge::rising;
    double level = 1.25;    // in the channel's unit
    double position = 0.5;  // where the firing lies in the view: 0 left, 1 right edge
    TriggerMode mode = TriggerMode::off;
    bool operator==(const TriggerSetup& o) const {
        return channel == o.channel && edge == o.edge && level == o.level &&
               position == o.position && mode == o.mode;
    }
};
// Nothing when usable with `channels` traces; else why not (channel out of range, level or
// position not finite, position outside 0..1).
std::optional<std::string> CheckTrigger(const TriggerSetup& setup, int channels);

class LevelTrigger {
  public:
    static constexpr int kHysteresisCodes = 4;
    // Sets the trigger; the level is turned into a code through the channel's calibration and
    // the history's resolution (a negative gain turns a rising value into falling volts).
    // Arms it.
    void configure(const TriggerSetup& setup, const ChannelSetup& channel, double resolution);
    const TriggerSetup& setup() const { return setup_; }
    // Ready to fire (single mode: until it has fired once).
    bool armed() const { return armed_; }
    void arm();
    // One scan's codes (one per trace); true when the trigger fires at this scan.
    bool feed(const std::int16_t* codes) {
        if (!armed_) return false;
        const int c = codes[channel_];
        if (rising_) {
            if (c < reset_)
                primed_ = true;
            else if (primed_ && c >= level_)
                return fire();
        } else {
            if (c > reset_)
                primed_ = true;
            else if (primed_ && c <= level_)
                return fire();
        }
        return false;
    }

  private:
    bool fire();
    TriggerSetup setup_;
    int channel_ = 0, level_ = 0, reset_ = 0;
    bool rising_ = true, armed_ = false, primed_ = false;
};

}  // namespace engine
