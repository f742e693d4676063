#pragma once
// Text operations on code-page-936 byte strings, the ones every resolver and the HTTP client rely on.
//
// Lengths count bytes; positions count from 1; a failed search gives -1. A search steps over a
// double-byte character (lead byte 0x81..0xFE followed by a trail byte) as one unit, so a match never
// begins on its second byte. Ignoring letter case folds the ASCII letters A to Z only. "Blanks" are the
// half-width space 0x20 and the full-width space 0xA1 0xA1; tabs, CR and LF are not blanks.
// None of these functions throws.
#include <string>
#include <string_view>
#include <vector>

namespace morvalin {

// First occurrence of `what` at or after `start` (a start below 1 counts as 1). An empty `what` is found
// at position 1 of a non-empty text.
int Find(std::string_view text, std::string_view what, int start = 1, bool ignore_case = false);
// Last occurrence of `what` in the whole text.
int FindLast(std::string_view text, std::string_view what);
// Removes blanks at both ends.
std::string Trim(std::string_view text);
// Removes every blank.
std::string RemoveBlanks(std::string_view text);
// Cuts at each occurrence of `separator`. An empty text gives no items; adjacent separators give an
// empty item; a separator at the very end adds no empty last item.
std::vector<std::string> Split(std::string_view text, std::string_view separator);
// Replaces every occurrence, scanning from the left; matched pieces do not overlap.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignore_case = false);
// Folds the single-byte letters A to Z to a to z; every other byte, and both bytes of a double-byte
// character, stay.
std::string ToLowerAscii(std::string_view text);
// Leading decimal number of a text as the C library reads it (leading blanks skipped, an optional sign,
// digits, a fraction, an exponent); 0 when the text does not begin with a number.
double LeadingNumber(std::string_view text);

// The text between the first `left` marker (searched from `start`) and the next `right` marker after
// it; empty when either is missing. "#引号" (in code page 936) in a marker stands for a double quote.
std::string TextBetween(std::string_view text, std::string_view left, std::string_view right, int start = 1,
                        bool ignore_case = false);

}  // namespace morvalin
