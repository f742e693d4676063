#include "resolve/script_unescape.h"

#include <duktape.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/code_page.h"
#include "web/text_ops.h"

namespace morvalin {
namespace {

// Stand-ins that keep a CR LF pair and an apostrophe from breaking the single-quoted literal.
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kCrLfPlaceholder = "{$}";
constexpr std::string_view kApostrophe = "'";
constexpr std::string_view kApostrophePlaceholder = "\xA1\xAF";  // U+2019 in code page 936

// The script engine's heap may grow to a few times the script text, never without bound.
constexpr std::size_t kHeapBaseBytes = 64u << 20;
constexpr std::size_t kHeapBytesPerSourceByte = 8;

// Allocation bookkeeping for one heap: each block carries its size in a header so that the total in
// use can be held under the budget. A refused allocation becomes a script error, caught below.
struct HeapBudget {
  std::size_t used = 0;
  std::size_t limit = 0;
};
constexpr std::size_t kBlockHeader = alignof(std::max_align_t);

void* BudgetAlloc(void* udata, duk_size_t size) {
  auto* budget = static_cast<HeapBudget*>(udata);
  if (size == 0) return nullptr;
  if (size > budget->limit - budget->used) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kBlockHeader));
  if (!block) return nullptr;
  std::memcpy(block, &size, sizeof size);
  budget->used += size;
  return block + kBlockHeader;
}

void BudgetFree(void* udata, void* ptr) {
  if (!ptr) return;
  auto* budget = static_cast<HeapBudget*>(udata);
  auto* block = static_cast<unsigned char*>(ptr) - kBlockHeader;
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  budget->used -= size;
  std::free(block);
}

void* BudgetRealloc(void* udata, void* ptr, duk_size_t size) {
  if (!ptr) return BudgetAlloc(udata, size);
  if (size == 0) {
    BudgetFree(udata, ptr);
    return nullptr;
  }
  auto* budget = static_cast<HeapBudget*>(udata);
  auto* block = static_cast<unsigned char*>(ptr) - kBlockHeader;
  std::size_t old_size = 0;
  std::memcpy(&old_size, block, sizeof old_size);
  if (size > old_size && size - old_size > budget->limit - budget->used) return nullptr;
  auto* grown = static_cast<unsigned char*>(std::realloc(block, size + kBlockHeader));
  if (!grown) return nullptr;
  std::memcpy(grown, &size, sizeof size);
  budget->used = budget->used - old_size + size;
  return grown + kBlockHeader;
}

// Every engine call runs inside duk_safe_call, so this is reached only on an engine defect.
void FatalError(void*, const char*) { std::abort(); }

struct ScriptJob {
  std::string_view source;  // UTF-8
  std::string units;        // out: the returned string as UTF-16LE
};

// Appends one UTF-16 code unit, little-endian.
void PutUnit(std::string& out, std::uint32_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

// The engine hands strings out in its internal form: UTF-8 in which a lone surrogate is a 3-byte
// sequence of its own. Decoding it sequence by sequence gives back the exact code units.
std::string EngineStringToUtf16(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  std::size_t i = 0;
  while (i < s.size()) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t length = 1;
    std::uint32_t cp = lead;
    if (lead >= 0xF0 && lead < 0xF8) {
      length = 4;
      cp = lead & 0x07;
    } else if (lead >= 0xE0) {
      length = 3;
      cp = lead & 0x0F;
    } else if (lead >= 0xC0) {
      length = 2;
      cp = lead & 0x1F;
    }
    if (lead >= 0xF8 || (lead >= 0x80 && lead < 0xC0) || i + length > s.size()) {
      PutUnit(out, '?');
      ++i;
      continue;
    }
    for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      PutUnit(out, 0xD800 + (cp >> 10));
      PutUnit(out, 0xDC00 + (cp & 0x3FF));
    } else {
      PutUnit(out, cp);
    }
    i += length;
  }
  return out;
}

// Defines the statement's function, then runs "xx" and keeps what it returns.
duk_ret_t RunScript(duk_context* ctx, void* udata) {
  auto* job = static_cast<ScriptJob*>(udata);
  duk_push_lstring(ctx, job->source.data(), job->source.size());
  duk_push_string(ctx, "statement");
  duk_compile(ctx, 0);
  duk_call(ctx, 0);
  duk_pop(ctx);
  duk_get_global_string(ctx, "xx");
  duk_call(ctx, 0);
  if (duk_is_string(ctx, -1)) {
    duk_size_t length = 0;
    const char* s = duk_get_lstring(ctx, -1, &length);
    job->units = EngineStringToUtf16(std::string_view(s, length));
  }
  return 0;
}

// The script path: the text inside "var x='...'" passed through unescape, or "" on any failure.
std::string ScriptResult(std::string_view prepared) {
  // A lone line feed or carriage return ends the literal before its closing quote.
  if (prepared.find_first_of("\r\n") != std::string_view::npos) return {};
  const std::string statement =
      "function xx(){var x='" + GbkToUtf8(prepared) + "';return unescape(x);}";
  HeapBudget budget;
  budget.limit = kHeapBaseBytes + kHeapBytesPerSourceByte * statement.size();
  duk_context* ctx = duk_create_heap(BudgetAlloc, BudgetRealloc, BudgetFree, &budget, FatalError);
  if (!ctx) return {};
  ScriptJob job{statement, {}};
  const bool ran = duk_safe_call(ctx, RunScript, &job, 0, 1) == DUK_EXEC_SUCCESS;
  duk_destroy_heap(ctx);
  if (!ran || job.units.empty()) return {};
  return ConvertCodePage(job.units, kCodePageUtf16Le, kCodePageGbk);
}

// The leading decimal digits of `text` as a number (0 when it starts with anything else).
std::int64_t LeadingDecimal(std::string_view text) {
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string ScriptUnescape(std::string_view text) {
  std::string prepared = ReplaceAll(text, kCrLf, kCrLfPlaceholder);
  if (!prepared.empty() && prepared.front() == '\r') prepared.erase(0, 1);
  prepared = ReplaceAll(prepared, "\\u", "%u");
  prepared = ReplaceAll(prepared, kApostrophe, kApostrophePlaceholder);

  std::string result = ScriptResult(prepared);
  std::string fallback = FallbackUnescape(prepared);
  if (result.empty()) result = std::move(fallback);

  result = ReplaceAll(result, kApostrophePlaceholder, kApostrophe);
  return ReplaceAll(result, kCrLfPlaceholder, kCrLf);
}

std::string FallbackUnescape(std::string_view text) {
  // Positions are 1-based here, as the escapes are described: the byte at position i is text[i - 1].
  const std::size_t length = text.size();
  std::string out;
  for (std::size_t i = 1; i <= length; ++i) {
    if (text[i - 1] != '%') continue;
    if (i < length && text[i] == 'u' && i + 5 <= length) {
      const std::string_view digits = text.substr(i + 1, 4);
      if (LeadingDecimal(digits) == 0) {
        out += '%';
      } else {
        out += CodeUnitToGbk(HexDigitsValue(digits));
        i += 2;
      }
    } else if (i + 2 <= length) {
      out += CodeUnitToGbk(HexDigitsValue(text.substr(i, 2)));
      i += 2;
    } else {
      out += '%';
    }
  }
  return out;
}

std::int64_t HexDigitsValue(std::string_view text) {
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  // Unsigned arithmetic wraps instead of overflowing on a long text.
  std::uint64_t value = 0;
  for (char c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const std::size_t at = kDigits.find(c);
    const std::int64_t digit = at == std::string_view::npos ? -2 : static_cast<std::int64_t>(at);
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  return static_cast<std::int64_t>(value);
}

std::string CodeUnitToGbk(std::int64_t value) {
  const auto bits = static_cast<std::uint64_t>(value);
  std::string units;
  for (int k = 0; k < 4; ++k) {
    const auto unit = static_cast<std::uint32_t>((bits >> (16 * k)) & 0xFFFF);
    if (unit == 0) break;
    PutUnit(units, unit);
  }
  std::string gbk = ConvertCodePage(units, kCodePageUtf16Le, kCodePageGbk);
  const std::size_t zero = gbk.find('\0');
  if (zero != std::string::npos) gbk.resize(zero);
  return gbk;
}

}  // namespace morvalin
