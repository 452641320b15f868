// What may reach a terminal or a window from outside: well-formed UTF-8 (no overlong form, no
// surrogate, nothing above U+10FFFF) with no control character, C0, DEL, C1 or the line and
// paragraph separators. Decoded here from first principles, not through the engine's escaping,
// so that the harnesses judge that escaping by an independent rule.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// The offset of the first byte that must not reach a terminal raw, or npos.
inline std::size_t FirstUnsafeByte(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned c = s[i];
        std::size_t len;
        unsigned long cp, least;
        if (c < 0x80) {
            len = 1, cp = c, least = 0;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07, least = 0x10000;
        } else {
            return i;  // a continuation byte on its own, or no UTF-8 lead byte at all
        }
        if (i + len > n) return i;
        for (std::size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return i;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        const bool control = cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
        const bool separator = cp == 0x2028 || cp == 0x2029;
        const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
        if (cp < least || cp > 0x10FFFF || control || separator || surrogate) return i;
        i += len;
    }
    return std::string::npos;
}

// Stops the run, as a crash the fuzzer keeps, when text is not safe to print.
inline void RequireSafe(const std::string& text, const char* what) {
    const std::size_t at = FirstUnsafeByte(text);
    if (at == std::string::npos) return;
    std::fprintf(stderr, "%s lets an unsafe byte 0x%02x through at offset %zu\n", what,
                 static_cast<unsigned char>(text[at]), at);
    std::abort();
}

}  // namespace fuzz
