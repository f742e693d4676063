#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace morvalin {
namespace {

struct ConvertCase {
  const char* name;
  std::string input;
  CodePage from;
  CodePage to;
  std::string expected;
};

void PrintTo(const ConvertCase& c, std::ostream* os) { *os << c.name; }

class ConvertCodePageTest : public testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertCodePageTest, Converts) {
  const ConvertCase& c = GetParam();
  EXPECT_EQ(ConvertCodePage(c.input, c.from, c.to), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertCodePageTest,
    testing::Values(
        ConvertCase{"Empty", "", kCodePageUtf8, kCodePageGbk, ""},
        ConvertCase{"AsciiUnchanged", "abc 123", kCodePageUtf8, kCodePageGbk, "abc 123"},
        ConvertCase{"ChineseToGbk", "\xE4\xB8\xAD", kCodePageUtf8, kCodePageGbk, "\xD6\xD0"},
        ConvertCase{"GbkToUtf8", "\xD6\xD0", kCodePageGbk, kCodePageUtf8, "\xE4\xB8\xAD"},
        ConvertCase{"FullWidthSpace", "\xE3\x80\x80", kCodePageUtf8, kCodePageGbk, "\xA1\xA1"},
        ConvertCase{"EmDash", "\xE2\x80\x94", kCodePageUtf8, kCodePageGbk, "\xA1\xAA"},
        // A character code page 936 lacks (an emoji) becomes "?", the rest survives.
        ConvertCase{"MissingCharBecomesQuestionMark", "a\xF0\x9F\x8E\xB5" "b", kCodePageUtf8, kCodePageGbk,
                    "a?b"},
        ConvertCase{"InvalidUtf8Byte", "a\xFF" "b", kCodePageUtf8, kCodePageGbk, "a?b"},
        ConvertCase{"TruncatedGbkPair", "a\xD6", kCodePageGbk, kCodePageUtf8, "a?"},
        ConvertCase{"GbkToUtf16", "A\xD6\xD0", kCodePageGbk, kCodePageUtf16Le, std::string("A\0\x2D\x4E", 4)},
        ConvertCase{"Utf16ToGbk", std::string("A\0\x2D\x4E", 4), kCodePageUtf16Le, kCodePageGbk, "A\xD6\xD0"},
        ConvertCase{"Utf16LoneSurrogate", std::string("\x00\xD8" "A\0", 4), kCodePageUtf16Le, kCodePageUtf8,
                    "?A"}),
    [](const testing::TestParamInfo<ConvertCase>& info) { return info.param.name; });

TEST(ConvertCodePage, LongTextCrossesBufferBoundaries) {
  std::string utf8;
  for (int i = 0; i < 5000; ++i) utf8 += "\xE4\xB8\xAD" "x";
  std::string gbk = Utf8ToGbk(utf8);
  ASSERT_EQ(gbk.size(), 5000u * 3);
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
}

}  // namespace
}  // namespace morvalin
