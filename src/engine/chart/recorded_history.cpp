#include "engine/chart/recorded_history.h"

#include <algorithm>
#include <utility>

#include "engine/recording/recording_lines.h"

std::optional<std::string> LoadRecordedHistory(const std::string& path, double resolution,
                                               RecordedHistory& into) {
    RecordedHistory read;
    read.path = path;
    engine::RecordingSink sink;
    sink.header = [&](const engine::RecordingHeader& h) -> std::optional<std::string> {
        read.header = h;
        // The count of lines bounds the scans; a file with none still opens, empty.
        const long room = std::max(1L, h.scansAtMost);
        if (room > 0x7fffffffL) return "more scans than a history can hold";
        read.history.reset(h.traces, static_cast<int>(room), resolution);
        return std::nullopt;
    };
    sink.scan = [&](double seconds, const double* values, engine::ScanBefore before) {
        read.history.append(values, seconds,
                            before == engine::ScanBefore::scans ? TraceHistory::Before::scans
                            : before == engine::ScanBefore::gap
                                ? TraceHistory::Before::gap
                                : TraceHistory::Before::gapDuringPopup);
    };
    sink.comment = [&](std::string_view text, std::optional<double>) {
        if (auto note = engine::ParseNoteComment(text))
            read.notes.push_back({note->seconds, std::move(note->text)});
        else if (auto fired = engine::ParseTriggerComment(text))
            read.triggers.push_back({fired->seconds, std::move(fired->text)});
    };
    if (auto refused = engine::ReadRecording(path, sink)) return refused;
    into = std::move(read);
    return std::nullopt;
}
