// The escaping of outside bytes quoted in a message: whatever comes in, what comes out is safe
// to print on one line, plain text passes unchanged, and nothing grows past \xNN per byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/options.h"
#include "utf8_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);
    const std::string out = engine::Printable(in);
    fuzz::RequireSafe(out, "Printable");
    if (out.size() > 4 * in.size()) {
        std::fprintf(stderr, "Printable made %zu bytes of %zu\n", out.size(), in.size());
        std::abort();
    }
    bool plain = true;
    for (unsigned char c : in) plain = plain && c >= 0x20 && c < 0x7F && c != '\\';
    if (plain && out != in) {
        std::fprintf(stderr, "Printable changed plain text\n");
        std::abort();
    }
    return 0;
}
