#include "engine/channels.h"

#include <cmath>

#include "engine/escape.h"

namespace engine {
namespace {

std::size_t CodePoints(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

// Why a name or unit cannot be used (`what`: "The name"), or nothing. Printable() leaves
// well-formed, harmless text as it is, so any change means a control character, a broken
// UTF-8 sequence or a character that would reorder the line. A comma or a double quote would
// break a recording's column line or header, a backslash its quoting.
std::optional<std::string> CheckText(const std::string& text, const char* what, std::size_t limit) {
    if (CodePoints(text) > limit)
        return std::string(what) + " must be at most " + std::to_string(limit) + " characters.";
    if (Printable(text) != text)
        return std::string(what) + " must be plain text, without control characters.";
    if (text.find_first_of(",\"\\") != std::string::npos)
        return std::string(what) + " must not contain a comma, a double quote or a backslash.";
    if (!text.empty() && (text.front() == ' ' || text.back() == ' '))
        return std::string(what) + " must not begin or end with a space.";
    return std::nullopt;
}

}  // namespace

ChannelSetup DefaultChannel(int index) {
    ChannelSetup c;
    c.name = "CH" + std::to_string(index);
    return c;
}

std::optional<std::string> CheckChannel(const ChannelSetup& channel) {
    if (channel.name.empty()) return "The name must not be empty.";
    if (auto why = CheckText(channel.name, "The name", kChannelNameLimit)) return why;
    if (auto why = CheckText(channel.unit, "The unit", kChannelUnitLimit)) return why;
    if (!std::isfinite(channel.gain) || !std::isfinite(channel.offset))
        return "Gain and offset must be numbers.";
    if (channel.gain == 0) return "Gain must not be 0.";
    if (std::fabs(channel.gain) > kGainLimit) return "Gain must be within -1e9 to 1e9.";
    if (std::fabs(channel.offset) > kOffsetLimit) return "Offset must be within -1e12 to 1e12.";
    return std::nullopt;
}

std::string CalibratedColumn(const ChannelSetup& channel) {
    std::string column = channel.name;
    if (!channel.unit.empty()) column += "_" + channel.unit;
    for (char& c : column)
        if (c == ' ') c = '_';
    return column;
}

TwoPointFit FitTwoPoints(const CalibrationPoint& first, const CalibrationPoint& second,
                         double resolution) {
    TwoPointFit fit;
    if (first.volts.empty() || second.volts.empty()) {
        fit.refusal = "Take scans for both points first.";
        return fit;
    }
    auto mean = [](const std::vector<double>& v) {
        double sum = 0;
        for (double x : v) sum += x;
        return sum / static_cast<double>(v.size());
    };
    const double m1 = mean(first.volts), m2 = mean(second.volts);
    if (!std::isfinite(first.known) || !std::isfinite(second.known) || !std::isfinite(m1) ||
        !std::isfinite(m2)) {
        fit.refusal = "The known values and the scans must be numbers.";
        return fit;
    }
    if (first.known == second.known) {
        fit.refusal = "The two known values are the same: apply two different inputs.";
        return fit;
    }
    if (std::fabs(m2 - m1) < resolution) {
        fit.refusal = "The two inputs read the same on the converter: apply inputs further apart.";
        return fit;
    }
    TwoPointResult r;
    r.gain = (second.known - first.known) / (m2 - m1);
    r.offset = first.known - r.gain * m1;
    double squares = 0;
    for (const CalibrationPoint* p : {&first, &second})
        for (double v : p->volts) {
            const double e = r.gain * v + r.offset - p->known;
            squares += e * e;
        }
    r.residual = std::sqrt(squares / static_cast<double>(first.volts.size() + second.volts.size()));
    ChannelSetup check;
    check.name = "x";
    check.gain = r.gain;
    check.offset = r.offset;
    if (auto why = CheckChannel(check)) {
        fit.refusal = "The calibration is out of bounds: " + *why;
        return fit;
    }
    fit.result = r;
    return fit;
}

}  // namespace engine
