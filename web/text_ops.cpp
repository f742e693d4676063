#include "web/text_ops.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/code_page.h"

namespace morvalin {
namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Length in bytes of the character that starts at `i`: 2 for a lead byte with a byte after it.
size_t CharLength(std::string_view text, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `what` stands at byte `i` of `text`. With `ignore_case`, only single-byte letters fold: the
// bytes of a double-byte character compare exactly.
bool MatchesAt(std::string_view text, size_t i, std::string_view what, bool ignore_case) {
  if (text.size() - i < what.size()) return false;
  if (!ignore_case) return text.compare(i, what.size(), what) == 0;
  for (size_t j = 0; j < what.size();) {
    if (CharLength(what, j) == 2) {
      if (text[i + j] != what[j] || text[i + j + 1] != what[j + 1]) return false;
      j += 2;
    } else {
      if (FoldAscii(text[i + j]) != FoldAscii(what[j])) return false;
      ++j;
    }
  }
  return true;
}

// The first character boundary at or after byte `offset`, given a boundary `known` at or before it.
// Only bytes 0x81..0xFE begin a double-byte character, so any other byte ends the character it belongs
// to: the walk back stops there. The bytes between that point and `offset` are all lead-range bytes,
// which pair up into double-byte characters, so the boundary follows from the count alone.
size_t BoundaryAtOrAfter(std::string_view text, size_t offset, size_t known = 0) {
  offset = std::min(offset, text.size());
  size_t i = offset;
  while (i > known && IsLeadByte(static_cast<unsigned char>(text[i - 1]))) --i;
  return std::min(i + (offset - i + 1) / 2 * 2, text.size());
}

// First match at or after byte `from`, which must stand on a character boundary; npos when none.
size_t FindFromBoundary(std::string_view text, std::string_view what, size_t from, bool ignore_case) {
  if (what.empty()) return from < text.size() ? from : std::string_view::npos;
  if (!ignore_case) {
    // A fast byte search finds candidates; one that begins on a second byte is passed over.
    size_t boundary = from;
    for (size_t candidate = text.find(what, from); candidate != std::string_view::npos;
         candidate = text.find(what, candidate + 1)) {
      boundary = BoundaryAtOrAfter(text, candidate, boundary);
      if (boundary == candidate) return candidate;
    }
    return std::string_view::npos;
  }
  for (size_t i = from; i < text.size() && text.size() - i >= what.size(); i += CharLength(text, i)) {
    if (MatchesAt(text, i, what, ignore_case)) return i;
  }
  return std::string_view::npos;
}

// Length of the blank character at `i` (1 or 2), or 0 when the character there is no blank.
size_t BlankLength(std::string_view text, size_t i) {
  if (text[i] == ' ') return 1;
  if (i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA1 &&
      static_cast<unsigned char>(text[i + 1]) == 0xA1) {
    return 2;
  }
  return 0;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Rough power of ten of a decimal number text ("123.4e5" gives 3 + 5): positive for a number of at
// least 1, so that a number too large or too small for a double can be told apart.
long DecimalMagnitude(std::string_view number) {
  size_t exponent_at = number.find_first_of("eE");
  std::string_view mantissa = number.substr(0, exponent_at);
  size_t point = mantissa.find('.');
  std::string_view whole = mantissa.substr(0, point);
  long magnitude = 0;
  size_t first_digit = whole.find_first_not_of('0');
  if (first_digit != std::string_view::npos) {
    magnitude = static_cast<long>(whole.size() - first_digit);
  } else if (point != std::string_view::npos) {
    std::string_view fraction = mantissa.substr(point + 1);
    size_t nonzero = fraction.find_first_not_of('0');
    magnitude = -static_cast<long>(nonzero == std::string_view::npos ? fraction.size() : nonzero);
  }
  if (exponent_at != std::string_view::npos) {
    long exponent = 0;
    std::string_view text = number.substr(exponent_at + 1);
    bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    for (char c : text) exponent = exponent > 100000 ? exponent : exponent * 10 + (c - '0');
    magnitude += negative ? -exponent : exponent;
  }
  return magnitude;
}

}  // namespace

int Find(std::string_view text, std::string_view what, int start, bool ignore_case) {
  if (start < 1) start = 1;
  size_t from = static_cast<size_t>(start) - 1;
  if (from >= text.size()) return -1;
  size_t found = FindFromBoundary(text, what, BoundaryAtOrAfter(text, from), ignore_case);
  return found == std::string_view::npos ? -1 : static_cast<int>(found + 1);
}

int FindLast(std::string_view text, std::string_view what) {
  if (what.empty()) return -1;
  int last = -1;
  for (size_t i = FindFromBoundary(text, what, 0, false); i != std::string_view::npos;
       i = FindFromBoundary(text, what, i + CharLength(text, i), false)) {
    last = static_cast<int>(i + 1);
  }
  return last;
}

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t blank = 0;
  while (begin < text.size() && (blank = BlankLength(text, begin)) != 0) begin += blank;
  // The end of the last character that is not a blank, walking on character boundaries.
  size_t end = begin;
  for (size_t i = begin; i < text.size();) {
    blank = BlankLength(text, i);
    if (blank != 0) {
      i += blank;
    } else {
      i += CharLength(text, i);
      end = i;
    }
  }
  return std::string(text.substr(begin, end - begin));
}

std::string RemoveBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t blank = BlankLength(text, i);
    if (blank != 0) {
      i += blank;
    } else {
      size_t n = CharLength(text, i);
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> items;
  if (text.empty()) return items;
  if (separator.empty()) {
    items.emplace_back(text);
    return items;
  }
  size_t from = 0;
  while (from < text.size()) {
    size_t found = FindFromBoundary(text, separator, from, false);
    if (found == std::string_view::npos) {
      items.emplace_back(text.substr(from));
      break;
    }
    items.emplace_back(text.substr(from, found - from));
    from = found + separator.size();
  }
  return items;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to, bool ignore_case) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t found = FindFromBoundary(text, from, pos, ignore_case);
    if (found == std::string_view::npos) break;
    out.append(text.substr(pos, found - pos));
    out.append(to);
    pos = found + from.size();
  }
  if (pos < text.size()) out.append(text.substr(pos));
  return out;
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size();) {
    size_t n = CharLength(out, i);
    if (n == 1) out[i] = FoldAscii(out[i]);
    i += n;
  }
  return out;
}

double LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Decimal numbers only: no hexadecimal, infinity or NaN spellings.
  bool has_digit = i < text.size() && IsDigit(text[i]);
  if (!has_digit && i + 1 < text.size() && text[i] == '.' && IsDigit(text[i + 1])) has_digit = true;
  if (!has_digit) return 0.0;

  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  double value = 0.0;
  auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // Too large gives infinity, as the C library does; too small gives 0.
    value = DecimalMagnitude(std::string_view(first, static_cast<size_t>(end - first))) > 0 ? HUGE_VAL : 0.0;
  } else if (error != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

std::string TextBetween(std::string_view text, std::string_view left, std::string_view right, int start,
                        bool ignore_case) {
  static const std::string kQuoteMarker = Gbk("#引号");
  const std::string left_marker = ReplaceAll(left, kQuoteMarker, "\"");
  const std::string right_marker = ReplaceAll(right, kQuoteMarker, "\"");

  int left_at = Find(text, left_marker, start, ignore_case);
  if (left_at == -1) return {};
  int value_at = left_at + static_cast<int>(left_marker.size());
  int right_at = Find(text, right_marker, value_at, ignore_case);
  if (right_at == -1) return {};
  return std::string(
      text.substr(static_cast<size_t>(value_at) - 1, static_cast<size_t>(right_at - value_at)));
}

}  // namespace morvalin
