// A file of scans read back into a chart's history: the same 16-bit steps and block summaries
// the live chart keeps, room for exactly the file's scans, holes where its gap lines were.
#pragma once

#include <optional>
#include <string>

#include "engine/chart/trace_history.h"
#include "engine/recording/recording_reader.h"

struct RecordedHistory {
    std::string path;
    engine::RecordingHeader header;
    TraceHistory history{1, 1};
};

// Reads the recording at `path` into `into`, values kept in steps of `resolution`. Nothing when
// it was read; else the one-line refusal, and `into` is left as it was.
std::optional<std::string> LoadRecordedHistory(const std::string& path, double resolution,
                                               RecordedHistory& into);
