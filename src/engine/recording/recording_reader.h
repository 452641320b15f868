// Reading a file of scans back: a recording, or a span the chart saved. It takes exactly what
// ScanRecorder writes ("# " comment lines anywhere, the channel lines in the header, the column
// line "time_s,ch0_V,..." and the calibrated channels' columns after them, one line a scan,
// and the "gap of S s after T s" comments before the scan that followed a hole)
// and refuses anything else with one line naming the file, the line and what is wrong. The
// file is opened read-only and read twice in blocks (once to count its lines, so that the
// scans' room is set aside once, then to parse), never held whole in memory.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/channels.h"

namespace engine {

struct RecordingHeader {
    std::vector<std::string> comments;  // the "# " lines before the column line, without "# "
    int traces = 0;
    std::string unit;  // from the column names; empty when they name none
    // From the header's channel lines, one a trace, each passing CheckChannel; none when the
    // file has none (the traces' defaults). Each calibrated one has a column after the traces,
    // whose values are checked as numbers and not handed on: they follow from the traces'.
    std::vector<ChannelSetup> channels;
    long scansAtMost = 0;  // the file's lines: no more scans than these follow
};

// What came before a scan: nothing but scans, or a gap line (with the popup's cause or not).
enum class ScanBefore { scans, gap, gapDuringPopup };

struct RecordingSink {
    // Once, at the column line; a reason stops the reading, refused at that line.
    std::function<std::optional<std::string>(const RecordingHeader&)> header;
    // Every scan: seconds as written, header.traces values.
    std::function<void(double seconds, const double* values, ScanBefore before)> scan;
    // Every comment line after the column line (a gap, a rate change, a note, a trigger's
    // firing), without "# ", and the time of the scan before it: none before the first scan.
    std::function<void(std::string_view text, std::optional<double> after)> comment;
};

// Limits: a longer line, or more columns, is refused.
constexpr std::size_t kRecordingLineLimit = 16 * 1024;
constexpr int kRecordingTraceLimit = 16;  // as many as a chart draws

// Reads the file at `path`; nothing when every line was taken, else the one-line refusal:
// "Cannot open NAME, line 12: 10 fields where the column line names 9." (NAME quoted through
// Printable).
std::optional<std::string> ReadRecording(const std::string& path, const RecordingSink& sink);
// The same from bytes in memory, `name` standing for the file in a refusal, taken `block`
// bytes at a time as a file is (0: all at once).
std::optional<std::string> ReadRecordingText(const std::string& name, std::string_view text,
                                             const RecordingSink& sink, std::size_t block = 0);

// A value as the recorder writes it ("-1.25", "0.0006103515625", "nan", "inf"), or nothing.
std::optional<double> ParseRecordedNumber(std::string_view field);

}  // namespace engine
