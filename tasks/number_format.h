#pragma once
// How numbers and times are written in the lists, the status bar and the store. Results are
// code-page-936 texts.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace morvalin {

// `value` with up to 13 significant digits in plain decimal notation (never an exponent), without
// trailing zeros in the fraction: 512 -> "512", 0.5 -> "0.5".
std::string PlainDecimal(double value);

// `value` rounded half away from zero to `decimals` places and written with exactly that many
// decimals: (0, 2) -> "0.00", (1, 1) -> "1.0", (45.666, 2) -> "45.67".
std::string FixedDecimals(double value, int decimals);

// A byte count for the speed column and the status bar: "————" for 0, "512 B", "2 KB" (whole KB up to
// and including 1024 KB), "1.5 MB", "2.0 GB".
std::string FormatByteSize(double bytes);

// Completion time: "2016年5月12日7时34分10秒"; trailing zero parts are left out, from the seconds up to
// the hour, so midnight gives the date alone.
std::string DateTimeText(const std::tm& local_time);
// The current local time.
std::tm LocalNow();

// A speed-limit text read as the engine takes it: its leading decimal number (leading blanks skipped;
// 0 when it does not begin with one) truncated toward zero and held within 32 bits.
std::int32_t SpeedLimitFromText(std::string_view text);

}  // namespace morvalin
