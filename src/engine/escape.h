// Quoting bytes that come from outside (an option's value, a file name, a resource's text, an
// environment variable) in a line for standard error or a window.
#pragma once

#include <string>
#include <string_view>

namespace engine {

// The bytes with every one that could split the line, steer a terminal or reorder the text
// written as \xNN (two lower-case hex digits), one per raw byte:
//   - C0 controls and DEL;
//   - bytes that are not well-formed UTF-8: a stray continuation byte, a lead byte with too
//     few continuations, overlong forms, surrogates (U+D800-U+DFFF), anything above U+10FFFF;
//   - well-formed but harmful characters, all bytes of each: C1 controls (U+0080-U+009F: U+009B
//     starts a terminal's control sequence, U+0085 ends a line), the line and paragraph
//     separators U+2028 and U+2029, and the direction marks, embeddings, overrides and
//     isolates (U+200E, U+200F, U+202A-U+202E, U+2066-U+2069) that would make a window show
//     the rest of the line in another order.
// Every other character, printable ASCII and well-formed UTF-8, passes unchanged, so the
// output is never more than four times the input, and escaping it again changes nothing.
std::string Printable(std::string_view bytes);

}  // namespace engine
