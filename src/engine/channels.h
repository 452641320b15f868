// A channel in the operator's terms: what the input is called, the unit its value is read in,
// and the straight line from the converter's volts to that value (value = gain * volts +
// offset). The channels' setup comes from the operator (a dialog) or from a file (settings, a
// recording's header), so every field is checked here, in one place, before it is used.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace engine {

struct ChannelSetup {
    std::string name;        // "CH0"; 1 to kChannelNameLimit characters
    std::string unit = "V";  // 0 to kChannelUnitLimit characters: "V", "°C", "kPa"
    double gain = 1, offset = 0;
    // Whether the value differs from the volts: then recordings add a column for it.
    bool calibrated() const { return gain != 1 || offset != 0; }
    double value(double volts) const { return gain * volts + offset; }
    double volts(double value) const { return (value - offset) / gain; }
    bool operator==(const ChannelSetup& o) const {
        return name == o.name && unit == o.unit && gain == o.gain && offset == o.offset;
    }
};

constexpr std::size_t kChannelNameLimit = 24;  // characters (UTF-8 code points)
constexpr std::size_t kChannelUnitLimit = 8;
// Bounds that keep every value finite for any reading of the converter.
constexpr double kGainLimit = 1e9, kOffsetLimit = 1e12;

// The default for channel `index` (0-based), named as the program names its inputs: "CH0", volts,
// gain 1, offset 0.
ChannelSetup DefaultChannel(int index);
// Nothing when the setup can be used; else why not, in one line an operator can act on:
// "Gain must not be 0." Names and units: valid UTF-8, no control characters, no comma, double
// quote or backslash, no leading or trailing space; a name not empty.
std::optional<std::string> CheckChannel(const ChannelSetup& channel);
// The column a calibrated channel adds to a recording: "<name>_<unit>", spaces as '_'
// ("Supply rail", "V" gives "Supply_rail_V"; no unit gives "Supply_rail").
std::string CalibratedColumn(const ChannelSetup& channel);

// Two-point calibration: the operator applies a known input, the mean of the last scans is
// taken, then again for a second known input. The line through both points gives gain and
// offset; the residual is the root mean square, in the channel's unit, of every scan used
// against the value its point was known to have (what the noise costs).
struct TwoPointResult {
    double gain = 1, offset = 0, residual = 0;
};
struct CalibrationPoint {
    double known = 0;           // the value applied, in the channel's unit
    std::vector<double> volts;  // the scans taken for it
};
// Refused, with why, when a point has no scans, the two known values or the two means are the
// same (within `resolution` volts: the converter cannot tell them apart), or the result is out
// of bounds.
struct TwoPointFit {
    std::optional<TwoPointResult> result;
    std::string refusal;
};
TwoPointFit FitTwoPoints(const CalibrationPoint& first, const CalibrationPoint& second,
                         double resolution);

}  // namespace engine
