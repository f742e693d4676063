#include "tasks/number_format.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/code_page.h"

namespace morvalin {
namespace {

TEST(NumberFormat, ByteSizes) {
  struct Case {
    double bytes;
    const char* text;
  };
  const Case cases[] = {
      {0, "————"},
      {1e-8, "————"},
      {0.5, "0.5 B"},
      {512, "512 B"},
      {1023, "1023 B"},
      {1024, "1 KB"},
      {2048, "2 KB"},
      {1048575, "1023 KB"},
      {1048576, "1024 KB"},
      {1049600, "1.0 MB"},
      {1572864, "1.5 MB"},
      {1073741824, "1024.0 MB"},
      {1074790400, "1.0 GB"},
      {5.5 * 1073741824, "5.5 GB"},
      {-5, "-5 B"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkToUtf8(FormatByteSize(c.bytes)), c.text) << c.bytes;
  }
}

TEST(NumberFormat, FixedDecimalsRoundHalfAwayFromZero) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {0, 2, "0.00"},
      {1, 1, "1.0"},
      {5, 2, "5.00"},
      {45.666, 2, "45.67"},
      {0.125, 2, "0.13"},
      {-0.125, 2, "-0.13"},
      {2.675, 2, "2.68"},
      {1.005, 2, "1.01"},
      {-0.001, 2, "0.00"},
      {3.25, 2, "3.25"},
      {0.5, 1, "0.5"},
      {99.999, 2, "100.00"},
      {1e15, 2, "1000000000000000.00"},
      {1234.5678, 1, "1234.6"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FixedDecimals(c.value, c.decimals), c.text) << c.value << " / " << c.decimals;
  }
}

TEST(NumberFormat, PlainDecimalKeepsThirteenSignificantDigitsWithoutExponent) {
  EXPECT_EQ(PlainDecimal(0.00001), "0.00001");
  EXPECT_EQ(PlainDecimal(123456789012345.0), "123456789012300");
  EXPECT_EQ(PlainDecimal(0.1 + 0.2), "0.3");
  EXPECT_EQ(PlainDecimal(-2.5), "-2.5");
}

TEST(NumberFormat, DateTimeTextLeavesOutTrailingZeroParts) {
  struct Case {
    int hour, minute, second;
    const char* text;
  };
  const Case cases[] = {
      {7, 34, 10, "2016年5月12日7时34分10秒"}, {7, 34, 0, "2016年5月12日7时34分"},
      {7, 0, 0, "2016年5月12日7时"},           {0, 0, 0, "2016年5月12日"},
      {0, 0, 5, "2016年5月12日0时0分5秒"},     {0, 5, 0, "2016年5月12日0时5分"},
      {23, 0, 9, "2016年5月12日23时0分9秒"},
  };
  for (const Case& c : cases) {
    std::tm t{};
    t.tm_year = 116;
    t.tm_mon = 4;
    t.tm_mday = 12;
    t.tm_hour = c.hour;
    t.tm_min = c.minute;
    t.tm_sec = c.second;
    EXPECT_EQ(GbkToUtf8(DateTimeText(t)), c.text);
  }
}

TEST(NumberFormat, SpeedLimitFromTextReadsTheLeadingNumber) {
  struct Case {
    const char* text;
    std::int32_t limit;
  };
  const Case cases[] = {
      {"250", 250}, {"  250  ", 250}, {"abc", 0},    {"", 0},
      {"99.9", 99}, {"-5.7", -5},     {"12abc", 12}, {"1e20", std::numeric_limits<std::int32_t>::max()},
  };
  for (const Case& c : cases) EXPECT_EQ(SpeedLimitFromText(c.text), c.limit) << c.text;
}

}  // namespace
}  // namespace morvalin
