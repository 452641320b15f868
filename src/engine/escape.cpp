#include "engine/escape.h"

namespace engine {
namespace {

// The length of the well-formed UTF-8 sequence at s[0..n) and its code point; 0 when the bytes
// there are not one. The ranges of the second byte are what rule out overlong forms,
// surrogates and code points above U+10FFFF.
std::size_t decode(const unsigned char* s, std::size_t n, char32_t& cp) {
    const unsigned char c = s[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    std::size_t len;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, cp = c & 0x0F;
        if (c == 0xE0) low = 0xA0;   // below that, an overlong form
        if (c == 0xED) high = 0x9F;  // above that, a surrogate
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4, cp = c & 0x07;
        if (c == 0xF0) low = 0x90;   // overlong
        if (c == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return 0;  // a continuation byte on its own, C0/C1 overlong leads, F5-FF
    }
    if (len > n || s[1] < low || s[1] > high) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[k] & 0x3F);
    }
    return len;
}

bool harmful(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 ||
           cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string Printable(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        char32_t cp = 0;
        std::size_t len = decode(s + i, n - i, cp);
        // A bad sequence gives up only its first byte: what follows is judged afresh, so a
        // valid character after a cut one is kept and every bad byte is escaped on its own.
        const bool escape = len == 0 || harmful(cp);
        if (len == 0) len = 1;
        if (!escape) {
            out.append(bytes.substr(i, len));
        } else {
            for (std::size_t k = i; k < i + len; ++k) {
                out += "\\x";
                out += digits[s[k] >> 4];
                out += digits[s[k] & 0xF];
            }
        }
        i += len;
    }
    return out;
}

}  // namespace engine
