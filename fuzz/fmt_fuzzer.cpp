// Fmt with the format, the target's size and up to six sources taken from the bytes. The
// target is allocated to its exact size, so a write past it is an AddressSanitizer report.
// Whatever the input: the target is always terminated, empty after a mismatch, and a cut text
// is the start of what a large enough target receives.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/fmt.h"

namespace {

void fail(const char* why) {
    std::fprintf(stderr, "Fmt: %s\n", why);
    std::abort();
}

}  // namespace

// Layout: size byte, kinds byte (bit i: source i is an integer), count byte, then 8 bytes and
// a width byte per integer source, then the format and the text sources, separated by zeros.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t targetSize = data[0];  // 0 included: the target that has no room
    const unsigned kinds = data[1];
    const std::size_t count = data[2] % 7;
    std::size_t at = 3;

    std::vector<engine::FmtArg> args;
    for (std::size_t i = 0; i < count; ++i) {
        if (kinds & (1u << i)) {
            long long v = 0;
            int bits = 64;
            if (at + 9 <= size) {
                std::memcpy(&v, data + at, 8);
                bits = 8 << (data[at + 8] % 4);
                at += 9;
            }
            args.push_back(engine::FmtArg{engine::FmtArg::integer, nullptr, v, bits});
        } else {
            args.push_back(engine::FmtArg{engine::FmtArg::text, nullptr, 0, 0});
        }
    }
    std::vector<std::string> texts{""};  // the format, then the text sources
    for (; at < size; ++at) {
        if (data[at] == 0)
            texts.emplace_back();
        else
            texts.back() += static_cast<char>(data[at]);
    }
    std::size_t next = 1;
    for (engine::FmtArg& a : args)
        if (a.kind == engine::FmtArg::text)
            a.string = next < texts.size() ? texts[next++].c_str() : "";
    args.push_back(engine::FmtArg{engine::FmtArg::text, "", 0, 0});  // as Fmt ends its list

    std::unique_ptr<char[]> target(new char[targetSize ? targetSize : 1]);
    const int result =
        engine::FormatInto(target.get(), targetSize, texts[0].c_str(), args.data(), count);
    if (targetSize == 0) {
        if (result != engine::kFmtBadFormat) fail("a target of no room was written");
        return 0;
    }
    const std::size_t length = strnlen(target.get(), targetSize);
    if (length == targetSize) fail("target left without its terminating zero");
    if (result == engine::kFmtBadFormat && length != 0) fail("a mismatch left text behind");
    if (result >= 0 && static_cast<std::size_t>(result) != count) fail("sources used != given");
    if (result == engine::kFmtTruncated && length != targetSize - 1) fail("cut short of the room");

    // The same into a target with room to spare: the same verdict, and the whole text.
    std::vector<char> wide(1 << 16);
    const int full =
        engine::FormatInto(wide.data(), wide.size(), texts[0].c_str(), args.data(), count);
    if (full == engine::kFmtTruncated) return 0;  // beyond 64 KiB: nothing to compare
    if ((full == engine::kFmtBadFormat) != (result == engine::kFmtBadFormat))
        fail("the verdict depends on the target's size");
    if (std::strncmp(wide.data(), target.get(), length) != 0) fail("cut text is not the start");
    if (result >= 0 && std::strlen(wide.data()) != length) fail("text lost without a cut");
    return 0;
}
