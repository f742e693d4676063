#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace morvalin {
namespace {

const char* IconvName(CodePage cp) {
  switch (cp) {
    case kCodePageGbk: return "CP936";
    case kCodePageUtf8: return "UTF-8";
    case kCodePageUtf16Le: return "UTF-16LE";
  }
  return "UTF-8";
}

// Length of the input character at `p` that iconv refused, so it can be replaced and skipped.
size_t BadCharLength(CodePage cp, const unsigned char* p, size_t left) {
  size_t n = 1;
  switch (cp) {
    case kCodePageGbk:
      n = (p[0] >= 0x81 && p[0] <= 0xFE && left >= 2) ? 2 : 1;
      break;
    case kCodePageUtf16Le: {
      n = 2;
      if (left >= 4) {
        uint16_t unit = static_cast<uint16_t>(p[0] | (p[1] << 8));
        uint16_t next = static_cast<uint16_t>(p[2] | (p[3] << 8));
        if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000) n = 4;
      }
      break;
    }
    case kCodePageUtf8: {
      unsigned char c = p[0];
      if (c >= 0xF0 && c < 0xF8) n = 4;
      else if (c >= 0xE0) n = 3;
      else if (c >= 0xC0) n = 2;
      // Stop at the first byte that is not a continuation byte.
      for (size_t i = 1; i < n; ++i) {
        if (i >= left || (p[i] & 0xC0) != 0x80) {
          n = i;
          break;
        }
      }
      break;
    }
  }
  return n > left ? left : n;
}

// One open conversion per direction and thread, kept for the thread's life: opening and closing one
// per call loads and unloads glibc's converter module every time, which made each conversion cost
// tens of microseconds.
class Converters {
 public:
  Converters() = default;
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;
  ~Converters() {
    for (auto& row : cds_) {
      for (iconv_t cd : row) {
        if (cd != kNone) iconv_close(cd);
      }
    }
  }

  // The descriptor for `from` -> `to` in its initial state; kNone when iconv cannot convert.
  iconv_t Get(CodePage from, CodePage to) {
    iconv_t& cd = cds_[Index(from)][Index(to)];
    if (cd == kNone) {
      cd = iconv_open(IconvName(to), IconvName(from));
    } else {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return cd;
  }

  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

 private:
  static int Index(CodePage cp) { return cp == kCodePageGbk ? 0 : cp == kCodePageUtf8 ? 1 : 2; }
  iconv_t cds_[3][3] = {{kNone, kNone, kNone}, {kNone, kNone, kNone}, {kNone, kNone, kNone}};
};

}  // namespace

std::string ConvertCodePage(std::string_view text, CodePage from, CodePage to) {
  if (text.empty()) return {};
  thread_local Converters converters;
  iconv_t cd = converters.Get(from, to);
  if (cd == Converters::kNone) return {};
  const std::string replacement = to == kCodePageUtf16Le ? std::string("?\0", 2) : std::string("?");

  std::string out;
  out.reserve(text.size() * 2 + 16);
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char buffer[4096];
  while (in_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof(buffer);
    size_t rc = iconv(cd, &in, &in_left, &dst, &dst_left);
    out.append(buffer, dst - buffer);
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ (a character the target lacks, or invalid input) or EINVAL (cut off at the end):
    // write the replacement and go on after the offending character.
    size_t skip = BadCharLength(from, reinterpret_cast<const unsigned char*>(in), in_left);
    in += skip;
    in_left -= skip;
    out += replacement;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::string Utf8ToGbk(std::string_view utf8) { return ConvertCodePage(utf8, kCodePageUtf8, kCodePageGbk); }

std::string GbkToUtf8(std::string_view gbk) { return ConvertCodePage(gbk, kCodePageGbk, kCodePageUtf8); }

}  // namespace morvalin
