// A file of scans read back into a chart's history: the same 16-bit steps and block summaries
// the live chart keeps, room for exactly the file's scans, holes where its gap lines were; the
// channels its header describes (header.channels), and its notes and trigger firings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/chart/trace_history.h"
#include "engine/recording/recording_reader.h"

// A note or a trigger's firing: its time in the chart's seconds (as the scans' times) and text.
struct RecordedMark {
    double seconds = 0;
    std::string text;
    bool operator==(const RecordedMark& o) const { return seconds == o.seconds && text == o.text; }
};

struct RecordedHistory {
    std::string path;
    engine::RecordingHeader header;  // header.channels: names, units, calibrations
    TraceHistory history{1, 1};
    std::vector<RecordedMark> notes, triggers;  // in the file's order
};

// Reads the recording at `path` into `into`, values kept in steps of `resolution`. Nothing when
// it was read; else the one-line refusal, and `into` is left as it was.
std::optional<std::string> LoadRecordedHistory(const std::string& path, double resolution,
                                               RecordedHistory& into);
