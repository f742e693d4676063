#pragma once
// Text conversion between the code pages the system meets at its edges.
//
// Inside the system every text is a byte string in code page 936 (GBK). Qt widgets, the store's text
// columns, file names on disk and console output use UTF-8; the engine records use UTF-16LE.
// Conversions never fail: a character the target lacks becomes "?", and so does an input byte
// sequence that is not valid in the source code page.
#include <string>
#include <string_view>

namespace morvalin {

// Code page numbers as the system names them.
enum CodePage : int {
  kCodePageGbk = 936,
  kCodePageUtf8 = 65001,
  kCodePageUtf16Le = 1200,
};

// Converts `text` from one code page to another. UTF-16LE texts are byte strings of 2-byte units.
std::string ConvertCodePage(std::string_view text, CodePage from, CodePage to);

std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

// A text literal written in the (UTF-8) source, as a system text in code page 936.
inline std::string Gbk(std::string_view utf8_literal) { return Utf8ToGbk(utf8_literal); }

}  // namespace morvalin
