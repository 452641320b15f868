// A file of scans as the recording reader takes it, the first byte choosing the size of the
// blocks it arrives in: the reader never crashes or hangs, its refusal is one line safe to print
// that names the file, every scan it hands on has the column line's values and a time no
// earlier than the one before, every channel it reads from the header can be used (one a trace,
// each passing CheckChannel), and how the bytes were cut into blocks changes nothing.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/channels.h"
#include "engine/recording/recording_reader.h"
#include "utf8_check.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "recording reader: %s\n", what);
    std::abort();
}

struct Outcome {
    std::optional<std::string> refusal;
    long scans = 0, comments = 0;
    double lastTime = 0, sum = 0;
};

Outcome read(std::string_view text, std::size_t block) {
    Outcome o;
    int traces = 0;
    long room = 0;
    engine::RecordingSink sink;
    sink.header = [&](const engine::RecordingHeader& h) -> std::optional<std::string> {
        if (traces) fail("a second header");
        if (h.traces < 1 || h.traces > engine::kRecordingTraceLimit) fail("a header out of bounds");
        if (!h.channels.empty() && static_cast<int>(h.channels.size()) != h.traces)
            fail("channels that are not one a trace");
        for (const engine::ChannelSetup& c : h.channels)
            if (engine::CheckChannel(c)) fail("a channel that cannot be used");
        traces = h.traces;
        room = h.scansAtMost;
        return std::nullopt;
    };
    sink.scan = [&](double seconds, const double* values, engine::ScanBefore) {
        if (!traces) fail("a scan before the header");
        if (!std::isfinite(seconds) || (o.scans && seconds < o.lastTime)) fail("a time astray");
        if (++o.scans > room) fail("more scans than the lines counted");
        o.lastTime = seconds;
        for (int t = 0; t < traces; ++t) o.sum += std::isfinite(values[t]) ? values[t] : 0;
    };
    sink.comment = [&](std::string_view, std::optional<double> after) {
        if (!traces) fail("a comment among the scans before the header");
        if (after.has_value() != (o.scans > 0) || (after && *after != o.lastTime))
            fail("a comment with the wrong scan before it");
        ++o.comments;
    };
    o.refusal = engine::ReadRecordingText("fuzz.csv", text, sink, block);
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Outcome whole = read(text, 0), cut = read(text, 1 + data[0] % 64);
    if (whole.refusal != cut.refusal || whole.scans != cut.scans ||
        whole.comments != cut.comments ||
        !(whole.sum == cut.sum || (std::isnan(whole.sum) && std::isnan(cut.sum))))
        fail("the blocks changed what was read");
    if (whole.refusal) {
        fuzz::RequireSafe(*whole.refusal, "the refusal");
        if (whole.refusal->rfind("Cannot open fuzz.csv", 0) != 0) fail("a refusal naming no file");
    }
    return 0;
}
