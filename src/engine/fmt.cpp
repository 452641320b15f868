#include "engine/fmt.h"

#include <cstring>
#include <string>

namespace engine {

int FormatInto(char* target, std::size_t size, const char* format, const FmtArg* args,
               std::size_t count) {
    if (size == 0) return kFmtBadFormat;
    target[0] = '\0';
    if (format == nullptr || std::strncmp(format, "%s<", 3) != 0) return kFmtBadFormat;

    std::string text;
    std::size_t used = 0;
    for (const char* p = format + 3; *p; ++p) {
        if (*p != '%') {
            text += *p;
            continue;
        }
        const char directive = *++p;
        if (directive == '%') {
            text += '%';
            continue;
        }
        if (used == count) return kFmtBadFormat;
        const FmtArg& a = args[used++];
        switch (directive) {
            case 's':
                if (a.kind != FmtArg::text) return kFmtBadFormat;
                if (a.string) text += a.string;
                break;
            case 'd':
                if (a.kind != FmtArg::integer) return kFmtBadFormat;
                text += std::to_string(a.value);
                break;
            case 'x': {
                if (a.kind != FmtArg::integer) return kFmtBadFormat;
                auto v = static_cast<unsigned long long>(a.value);
                if (a.bits < 64) v &= (1ull << a.bits) - 1;
                char digits[17];
                int n = 0;
                do {
                    digits[n++] = "0123456789abcdef"[v & 0xF];
                    v >>= 4;
                } while (v);
                while (n) text += digits[--n];
                break;
            }
            default:
                return kFmtBadFormat;  // includes a lone '%' at the end
        }
    }
    if (used != count) return kFmtBadFormat;

    const bool fits = text.size() < size;
    const std::size_t n = fits ? text.size() : size - 1;
    std::memcpy(target, text.data(), n);
    target[n] = '\0';
    return fits ? static_cast<int>(used) : kFmtTruncated;
}

}  // namespace engine
