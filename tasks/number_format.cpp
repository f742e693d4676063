#include "tasks/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/code_page.h"
#include "web/text_ops.h"

namespace morvalin {

std::string PlainDecimal(double value) {
  if (!std::isfinite(value)) return "0";
  if (value == 0) return "0";
  // 13 significant digits as mantissa and exponent, then laid out without the exponent.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.12e", std::fabs(value));
  std::string text(buffer);
  const std::size_t e = text.find('e');
  const int exponent = std::atoi(text.c_str() + e + 1);
  std::string digits;
  for (std::size_t i = 0; i < e; ++i) {
    if (text[i] != '.') digits += text[i];
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string result;
  if (exponent < 0) {
    result = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else if (static_cast<std::size_t>(exponent) + 1 >= digits.size()) {
    result = digits + std::string(static_cast<std::size_t>(exponent) + 1 - digits.size(), '0');
  } else {
    result = digits.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
             digits.substr(static_cast<std::size_t>(exponent) + 1);
  }
  return value < 0 ? "-" + result : result;
}

std::string FixedDecimals(double value, int decimals) {
  if (!std::isfinite(value)) value = 0;
  const double scale = std::pow(10.0, decimals);
  const double rounded = std::floor(std::fabs(value) * scale + 1e-12 + 0.5) / scale;
  std::string text = PlainDecimal(value < 0 && rounded != 0 ? -rounded : rounded);
  const std::size_t point = text.find('.');
  if (point == std::string::npos) {
    if (decimals > 0) text += "." + std::string(static_cast<std::size_t>(decimals), '0');
    return text;
  }
  const std::size_t fraction = text.size() - point - 1;
  if (fraction < static_cast<std::size_t>(decimals)) {
    text.append(static_cast<std::size_t>(decimals) - fraction, '0');
  }
  return text;
}

std::string FormatByteSize(double bytes) {
  if (bytes - 1024 < -1e-7) {
    if (std::fabs(bytes) <= 1e-7) return Gbk("————");
    return PlainDecimal(bytes) + " B";
  }
  const double kilobytes = std::floor(bytes / 1024);
  if (kilobytes <= 1024) return PlainDecimal(kilobytes) + " KB";
  const double megabytes = std::floor(bytes / 1048576);
  if (megabytes <= 1024) return FixedDecimals(bytes / 1048576, 1) + " MB";
  return FixedDecimals(bytes / 1073741824, 1) + " GB";
}

std::string DateTimeText(const std::tm& t) {
  char buffer[128];
  std::string text;
  std::snprintf(buffer, sizeof buffer, "%d年%d月%d日", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
  text = buffer;
  if (t.tm_sec != 0) {
    std::snprintf(buffer, sizeof buffer, "%d时%d分%d秒", t.tm_hour, t.tm_min, t.tm_sec);
    text += buffer;
  } else if (t.tm_min != 0) {
    std::snprintf(buffer, sizeof buffer, "%d时%d分", t.tm_hour, t.tm_min);
    text += buffer;
  } else if (t.tm_hour != 0) {
    std::snprintf(buffer, sizeof buffer, "%d时", t.tm_hour);
    text += buffer;
  }
  return Utf8ToGbk(text);
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::int32_t SpeedLimitFromText(std::string_view text) {
  const double value = std::trunc(LeadingNumber(text));
  if (!std::isfinite(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace morvalin
