#include "resolve/script_unescape.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"

namespace morvalin {
namespace {

struct UnescapeCase {
  const char* label;
  std::string input;
  std::string expected;
};

void PrintTo(const UnescapeCase& c, std::ostream* os) { *os << c.label; }

class ScriptUnescapeTest : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(ScriptUnescapeTest, Decodes) {
  EXPECT_EQ(ScriptUnescape(GetParam().input), GetParam().expected);
}

// The script path: everything but the escapes and the literal's own escapes passes unchanged.
INSTANTIATE_TEST_SUITE_P(
    ScriptPath, ScriptUnescapeTest,
    ::testing::Values(
        UnescapeCase{"plain text", "abc def", "abc def"},
        UnescapeCase{"empty", "", ""},
        UnescapeCase{"percent escapes", "a%20b%41", "a bA"},
        UnescapeCase{"percent-u escapes", "%u4e2d%u6587", Gbk("中文")},
        UnescapeCase{"json escapes", R"({"t":"\u591c\u66f2"})", Gbk(R"({"t":"夜曲"})")},
        UnescapeCase{"escaped slash", R"(http:\/\/a.example\/b.m4a)", "http://a.example/b.m4a"},
        UnescapeCase{"apostrophe survives", "it's", "it's"},
        UnescapeCase{"crlf pair survives", "a\r\nb%41", "a\r\nbA"},
        UnescapeCase{"first carriage return dropped", "\r%41", "A"},
        UnescapeCase{"crlf placeholder in input", "a{$}b", "a\r\nb"},
        UnescapeCase{"quote placeholder in input", Gbk("a’b"), "a'b"},
        UnescapeCase{"code page 936 text kept", Gbk("舞曲%41"), Gbk("舞曲A")},
        // 0x81 0x5C is one character whose second byte is a backslash: not an escape.
        UnescapeCase{"double-byte char ending in 0x5C", "x\x81\x5C", "x\x81\x5C"},
        UnescapeCase{"character outside the code page", "%u0E01", "?"},
        UnescapeCase{"invalid escapes stay", "%zz%u12", "%zz%u12"}));

// Texts that break the string literal: only the decoded escapes are left.
INSTANTIATE_TEST_SUITE_P(
    BrokenLiteral, ScriptUnescapeTest,
    ::testing::Values(
        UnescapeCase{"lone line feed", "a\nb%41", "A"},
        UnescapeCase{"lone carriage return later", "ab\r%u4E2D", Gbk("中")},
        UnescapeCase{"trailing backslash", "abc%41\\", "A"},
        UnescapeCase{"invalid hex escape", R"(\xZZ%41)", "A"},
        UnescapeCase{"undecodable escape marked", "x\n%uFF01%42", "%B"},
        UnescapeCase{"nothing decodable", "line\nbreak", ""}));

class FallbackUnescapeTest : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(FallbackUnescapeTest, KeepsOnlyEscapes) {
  EXPECT_EQ(FallbackUnescape(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FallbackUnescapeTest,
    ::testing::Values(
        UnescapeCase{"u escape letter", "%u0041", "A"},
        UnescapeCase{"u escape han", "%u4E2D", Gbk("中")},
        // The first digits read as the decimal 0: not decoded.
        UnescapeCase{"u escape starting with a letter", "%uFF01", "%"},
        UnescapeCase{"u escape zeros then letter", "%u00E9", "%"},
        UnescapeCase{"two-digit escape", "%41", "A"},
        UnescapeCase{"two-digit lower case", "%4a", "J"},
        UnescapeCase{"two-digit non-ascii", "%E9", Gbk("é")},
        UnescapeCase{"other bytes dropped", "ab%41cd%u4E2Def", Gbk("A中")},
        UnescapeCase{"adjacent escapes", "%41%42%u0043", "ABC"},
        UnescapeCase{"lone percent", "%", "%"},
        UnescapeCase{"percent and one byte", "%4", "%"},
        UnescapeCase{"percent at the end", "x%41%", "A%"},
        UnescapeCase{"empty", "", ""}));

TEST(HexDigitsValueTest, ReadsDigitsAndPenalisesOthers) {
  EXPECT_EQ(HexDigitsValue("41"), 0x41);
  EXPECT_EQ(HexDigitsValue("ff"), 0xFF);
  EXPECT_EQ(HexDigitsValue("4E2D"), 0x4E2D);
  EXPECT_EQ(HexDigitsValue(""), 0);
  EXPECT_EQ(HexDigitsValue("G"), -2);
  EXPECT_EQ(HexDigitsValue("1G"), 1 * 16 - 2);
  EXPECT_EQ(HexDigitsValue("u0"), -2 * 16);
}

TEST(CodeUnitToGbkTest, WritesTheUnitsUpToTheFirstZero) {
  EXPECT_EQ(CodeUnitToGbk(0x41), "A");
  EXPECT_EQ(CodeUnitToGbk(0x4E2D), Gbk("中"));
  EXPECT_EQ(CodeUnitToGbk(0xE9), Gbk("é"));
  EXPECT_EQ(CodeUnitToGbk(0), "");
  // Higher bytes of the value are further code units.
  EXPECT_EQ(CodeUnitToGbk(0x0042'0041), "AB");
  EXPECT_EQ(CodeUnitToGbk(0x0042'0000'0041), "A");
  // A lone surrogate has no character in the code page.
  EXPECT_EQ(CodeUnitToGbk(0xD800), "?");
}

TEST(ScriptUnescapeLargeTest, LongReplyStillDecodedByTheScript) {
  std::string reply;
  for (int i = 0; i < 200'000; ++i) reply += "%u4E2Dx";  // 1.4 MB
  const std::string decoded = ScriptUnescape(reply);
  ASSERT_EQ(decoded.size(), 200'000u * 3);
  EXPECT_EQ(decoded.substr(0, 3), Gbk("中x"));
}

}  // namespace
}  // namespace morvalin
