#pragma once
// Decoding of reply texts whose non-ASCII characters travel as escapes (%XX, %uXXXX, \uXXXX).
//
// ScriptUnescape passes the text through the script engine's `unescape` (Duktape, a fresh heap per
// call) inside a single-quoted string literal, so string-literal escapes ("\/" -> "/") apply as well.
// When the script gives nothing (the text breaks the literal, or the engine fails), the result is
// FallbackUnescape's, which keeps only what the escapes decode to. All texts are code page 936.
// Nothing here throws, and no input can abort the process.
#include <cstdint>
#include <string>
#include <string_view>

namespace morvalin {

std::string ScriptUnescape(std::string_view text);

// Only the decoded escapes of `text`; every other byte is dropped. "%" marks an escape that cannot be
// decoded (a %u escape whose first digits read as decimal 0, or a "%" too near the end).
std::string FallbackUnescape(std::string_view text);

// Upper-cases `text` and reads it as hexadecimal digits; a byte that is not a digit counts as -2 at
// its place (so valid digits give their ordinary value).
std::int64_t HexDigitsValue(std::string_view text);

// The UTF-16 code units held in the eight little-endian bytes of `value`, up to the first zero unit,
// as code page 936 ("" for 0). A value from 1 to 0xFFFF gives its single character.
std::string CodeUnitToGbk(std::int64_t value);

}  // namespace morvalin
