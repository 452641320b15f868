// The comment lines of a recording that carry facts, written and read in one place: a channel's
// name, unit and calibration in the header, and the notes and trigger firings among the scans.
// The recorder writes them, the reader and the viewer take them back; nothing here needs Qt.
//   # channel 0: name "Supply rail", unit "V", gain 2, offset 0.5
//   # note at 12.345678 s: heater switched on
//   # trigger fired at 12.345678 s: CH1 rising through 1.25 V
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/channels.h"

namespace engine {

// The header line for channel `index` (0-based; written 1-based, as the operator counts them),
// gain and offset in full.
std::string ChannelLine(int index, const ChannelSetup& channel);

// A header comment read as a channel line. Not one (`refusal` and `channel` empty) unless it
// starts "channel "; then either the channel, every field checked with CheckChannel, or why it
// cannot be used, without a closing full stop: "channel 1 cannot be used: Gain must not be 0".
struct ChannelLineRead {
    int number = 0;  // as written: 1 for the first
    std::optional<ChannelSetup> channel;
    std::optional<std::string> refusal;
};
ChannelLineRead ReadChannelLine(std::string_view comment);

// The longest note or trigger text written, in characters.
constexpr std::size_t kNoteLimit = 200;

// "note at 12.345678 s: <text>", seconds of the recording's time with six decimals; the text
// cut to kNoteLimit characters and every control character (and whatever else could break the
// line or reorder it) replaced by a space, so that a note is always one line.
std::string NoteComment(double seconds, std::string_view text);
// "trigger fired at 12.345678 s: <what>", `what` made one line as a note's text is.
std::string TriggerComment(double seconds, std::string_view what);

// A note or a trigger firing read back: the time as written and the text.
struct TimedComment {
    double seconds = 0;
    std::string text;
};
std::optional<TimedComment> ParseNoteComment(std::string_view comment);
std::optional<TimedComment> ParseTriggerComment(std::string_view comment);

}  // namespace engine
