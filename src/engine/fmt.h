// Fmt: the engine's formatting into a fixed character buffer.
//   Fmt(buffer, "%s<%s%x%s", "prefix ", 0x378, "h)")   ->  "prefix 378h)"
// Left of '<' stands the target (always %s: a string); right of it, text copied as it stands
// and one source per % directive: %s a string, %d a decimal and %x a hexadecimal integer.
// The target's size comes from its type, so nothing is ever written past it.
#pragma once

#include <cstddef>
#include <type_traits>

namespace engine {

struct FmtArg {
    enum Kind { text, integer } kind;
    const char* string;
    long long value;
    int bits;  // width of the integer's own type, for %x of negative values
};

inline FmtArg MakeFmtArg(const char* s) {
    return {FmtArg::text, s, 0, 0};
}
template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
FmtArg MakeFmtArg(T v) {
    return {FmtArg::integer, nullptr, static_cast<long long>(v), static_cast<int>(sizeof(T) * 8)};
}

enum FmtResult : int { kFmtBadFormat = -1, kFmtTruncated = -2 };

// Returns the number of sources used, kFmtBadFormat (target left empty) when the format and
// the sources do not match, or kFmtTruncated when the text was cut to fit (still terminated).
int FormatInto(char* target, std::size_t size, const char* format, const FmtArg* args,
               std::size_t count);

}  // namespace engine

template <std::size_t N, typename... Sources>
int Fmt(char (&target)[N], const char* format, const Sources&... sources) {
    static_assert(N > 0, "Fmt needs room for at least the terminating zero");
    const engine::FmtArg args[] = {engine::MakeFmtArg(sources)..., engine::MakeFmtArg("")};
    return engine::FormatInto(target, N, format, args, sizeof...(Sources));
}
