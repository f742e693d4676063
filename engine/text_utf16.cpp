// Conversions between the system's code-page texts and the UTF-16LE texts of the engine records.
#include <string>
#include <string_view>

#include "engine/task_records.h"
#include "platform/code_page.h"

namespace morvalin {

std::string AnsiToUtf16(std::string_view text, int code_page) {
  // The text ends at its first zero byte, as a C string would.
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return {};
  std::string bytes = ConvertCodePage(text, static_cast<CodePage>(code_page), kCodePageUtf16Le);
  bytes.append(2, '\0');
  return bytes;
}

std::string Utf16ToAnsi(std::string_view bytes, int code_page) {
  std::size_t units = 0;
  while (2 * units + 1 < bytes.size() && (bytes[2 * units] != '\0' || bytes[2 * units + 1] != '\0')) ++units;
  if (units == 0) return {};
  return ConvertCodePage(bytes.substr(0, 2 * units), kCodePageUtf16Le, static_cast<CodePage>(code_page));
}

std::string GbkToUtf16(std::string_view text) { return AnsiToUtf16(text, kCodePageGbk); }

}  // namespace morvalin
