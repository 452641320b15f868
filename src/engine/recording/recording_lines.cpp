#include "engine/recording/recording_lines.h"

#include <charconv>
#include <cmath>

#include "engine/escape.h"
#include "engine/recording/scan_recorder.h"

namespace engine {
namespace {

// Takes `start` off the front of `text`; false, and `text` untouched, when it is not there.
bool Take(std::string_view& text, std::string_view start) {
    if (text.substr(0, start.size()) != start) return false;
    text.remove_prefix(start.size());
    return true;
}

// Takes the text up to `end` off the front of `text`, and `end` with it.
std::optional<std::string_view> TakeUntil(std::string_view& text, std::string_view end) {
    const std::size_t at = text.find(end);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view part = text.substr(0, at);
    text.remove_prefix(at + end.size());
    return part;
}

// A number as the recorder writes it, the whole text: "-1.25", "0.0006103515625", "nan".
std::optional<double> Number(std::string_view text) {
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return v;
}

// At most kNoteLimit characters, each kept when it is harmless and else replaced by one space:
// a control character, a byte that is no UTF-8, a separator that would end the line.
std::string OneLine(std::string_view text) {
    std::string line;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size() && characters < kNoteLimit; ++characters) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        for (std::size_t k = 1; k < length; ++k)
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                length = 1;  // cut short: the lead byte alone is replaced
        const std::string_view character = text.substr(i, length);
        if (Printable(character) == character)
            line += character;
        else
            line += ' ';
        i += length;
    }
    return line;
}

std::string Timed(const char* start, double seconds, std::string_view text) {
    std::string line = start;
    ScanRecorder::formatTime(line, seconds);
    return line + " s: " + OneLine(text);
}

std::optional<TimedComment> ParseTimed(std::string_view comment, std::string_view start) {
    if (!Take(comment, start)) return std::nullopt;
    const auto time = TakeUntil(comment, " s: ");
    if (!time) return std::nullopt;
    const std::optional<double> seconds = Number(*time);
    if (!seconds || !std::isfinite(*seconds)) return std::nullopt;
    return TimedComment{*seconds, std::string(comment)};
}

}  // namespace

std::string ChannelLine(int index, const ChannelSetup& channel) {
    std::string line = "channel " + std::to_string(index) + ": name \"" + channel.name +
                       "\", unit \"" + channel.unit + "\", gain ";
    ScanRecorder::formatValue(line, channel.gain);
    line += ", offset ";
    ScanRecorder::formatValue(line, channel.offset);
    return line;
}

ChannelLineRead ReadChannelLine(std::string_view comment) {
    ChannelLineRead read;
    if (!Take(comment, "channel ")) return read;
    const std::string_view whole = comment;
    auto refuse = [&](const std::string& why) {
        read.refusal = why;
        return read;
    };
    const auto number = TakeUntil(comment, ": name \"");
    if (!number || number->empty() || number->size() > 3 ||
        number->find_first_not_of("0123456789") != std::string_view::npos)
        return refuse(
            "expected channel N: name \"...\", unit \"...\", gain G, offset O but found "
            "\"channel " +
            Printable(whole.substr(0, 40)) + (whole.size() > 40 ? "...\"" : "\""));
    read.number = std::stoi(std::string(*number));
    const std::string which = "channel " + std::to_string(read.number);
    ChannelSetup c;
    const auto name = TakeUntil(comment, "\", unit \"");
    const auto unit = name ? TakeUntil(comment, "\", gain ") : std::nullopt;
    const auto gain = unit ? TakeUntil(comment, ", offset ") : std::nullopt;
    const auto gainValue = gain ? Number(*gain) : std::nullopt;
    const auto offsetValue = gain ? Number(comment) : std::nullopt;
    if (!gainValue || !offsetValue)
        return refuse(which + " does not read name \"...\", unit \"...\", gain G, offset O");
    c.name = std::string(*name);
    c.unit = std::string(*unit);
    c.gain = *gainValue;
    c.offset = *offsetValue;
    if (auto why = CheckChannel(c)) {
        if (!why->empty() && why->back() == '.') why->pop_back();
        return refuse(which + " cannot be used: " + *why);
    }
    read.channel = std::move(c);
    return read;
}

std::string NoteComment(double seconds, std::string_view text) {
    return Timed("note at ", seconds, text);
}

std::string TriggerComment(double seconds, std::string_view what) {
    return Timed("trigger fired at ", seconds, what);
}

std::optional<TimedComment> ParseNoteComment(std::string_view comment) {
    return ParseTimed(comment, "note at ");
}

std::optional<TimedComment> ParseTriggerComment(std::string_view comment) {
    return ParseTimed(comment, "trigger fired at ");
}

}  // namespace engine
