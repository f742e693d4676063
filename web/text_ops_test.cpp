#include "web/text_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/code_page.h"

namespace morvalin {
namespace {

// "中" in code page 936 is D6 D0; "A" is 41. "\xB0\x41" is a double-byte character whose second
// byte is the letter A, and "\xD6\x20" one whose second byte is a space.
struct FindCase {
  const char* name;
  std::string text;
  std::string what;
  int start;
  bool ignore_case;
  int expected;
};

TEST(TextOpsTest, FindTable) {
  const std::vector<FindCase> cases = {
      {"first match", "abcabc", "bc", 1, false, 2},
      {"from a later start", "abcabc", "bc", 3, false, 5},
      {"start below one counts as one", "abc", "a", -5, false, 1},
      {"start past the end", "abc", "a", 4, false, -1},
      {"absent", "abc", "x", 1, false, -1},
      {"empty text", "", "a", 1, false, -1},
      {"empty needle in non-empty text", "abc", "", 1, false, 1},
      {"empty needle in empty text", "", "", 1, false, -1},
      {"needle longer than text", "ab", "abc", 1, false, -1},
      {"case matters by default", "ABC", "b", 1, false, -1},
      {"ignoring case folds A to Z", "xABC", "bc", 1, true, 3},
      {"no match on a second byte",
       "\xB0\x41"
       "A",
       "A", 1, false, 3},
      {"no ignore-case match on a second byte", "\xB0\x41", "a", 1, true, -1},
      {"second byte of a double-byte char never starts a match", "\xD6\xD0\xD0", "\xD0", 1, false, 3},
      {"double-byte needle",
       "a\xD6\xD0"
       "b",
       "\xD6\xD0", 1, false, 2},
      {"double-byte bytes do not fold", "\xB0\x61", "\xB0\x41", 1, true, -1},
      {"start on a second byte moves to the next character", "\xD6\xD0\xD0x", "\xD0", 2, false, 3},
      {"lone lead byte at the end", "ab\xD6", "\xD6", 1, false, 3},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(Find(c.text, c.what, c.start, c.ignore_case), c.expected) << c.name;
  }
}

// Find against a plain walk over the characters, on texts dense in lead bytes, second bytes that look
// like letters, and bytes that can only stand alone.
TEST(TextOpsTest, FindAgreesWithACharacterWalk) {
  const std::string alphabet = "aA \x40\x7F\x81\xA1\xD6\xFE\xFF";
  auto char_length = [](const std::string& text, size_t i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    return (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) ? 2u : 1u;
  };
  auto reference = [&](const std::string& text, const std::string& what, int start, bool ignore_case) {
    auto fold = [](std::string t) {
      for (char& c : t) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
      return t;
    };
    for (size_t i = 0; i < text.size(); i += char_length(text, i)) {
      if (static_cast<int>(i) + 1 < start) continue;
      std::string piece = text.substr(i, what.size());
      if (piece == what || (ignore_case && fold(piece) == fold(what))) return static_cast<int>(i) + 1;
    }
    return -1;
  };
  unsigned state = 12345;
  auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
  auto random_text = [&](size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += alphabet[next() % alphabet.size()];
    return text;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = random_text(next() % 24);
    const std::string what = random_text(1 + next() % 3);
    const int start = static_cast<int>(next() % 26) - 1;
    // Ignoring case the needle must not hold double-byte characters, whose second bytes never fold.
    const bool ignore_case = what.find_first_of("\x81\xA1\xD6\xFE") == std::string::npos && next() % 2;
    ASSERT_EQ(Find(text, what, start, ignore_case), reference(text, what, start, ignore_case))
        << testing::PrintToString(text) << " / " << testing::PrintToString(what) << " from " << start;
  }
}

TEST(TextOpsTest, FindLastTable) {
  EXPECT_EQ(FindLast("a:b:c", ":"), 4);
  EXPECT_EQ(FindLast("abc", ":"), -1);
  EXPECT_EQ(FindLast("", ":"), -1);
  EXPECT_EQ(FindLast("aaa", "aa"), 2);
  // The last "A" byte is the second byte of a double-byte character.
  EXPECT_EQ(FindLast("A\xB0\x41", "A"), 1);
}

TEST(TextOpsTest, TrimAndRemoveBlanks) {
  const std::string full = "\xA1\xA1";  // the full-width space
  struct Case {
    const char* name;
    std::string text;
    std::string trimmed;
    std::string no_blanks;
  };
  const std::vector<Case> cases = {
      {"half-width", "  a b  ", "a b", "ab"},
      {"full-width", full + "a" + full + "b" + full, "a" + full + "b", "ab"},
      {"mixed ends", " " + full + " x " + full, "x", "x"},
      {"tabs and line ends stay", "\t a\r\n ", "\t a\r\n", "\ta\r\n"},
      {"only blanks", " " + full + " ", "", ""},
      {"empty", "", "", ""},
      // B0 A1 is one character; the A1 A1 that spans it and the next byte is no blank.
      {"A1 A1 across a character boundary", "\xB0\xA1\xA1\x41", "\xB0\xA1\xA1\x41", "\xB0\xA1\xA1\x41"},
      {"trailing full-width after a double-byte char", "\xB0\xA1" + full, "\xB0\xA1", "\xB0\xA1"},
      {"double-byte char whose second byte is 0x20", "\xD6\x20", "\xD6\x20", "\xD6\x20"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.text), c.trimmed) << c.name;
    EXPECT_EQ(RemoveBlanks(c.text), c.no_blanks) << c.name;
  }
}

TEST(TextOpsTest, SplitTable) {
  using Items = std::vector<std::string>;
  struct Case {
    const char* name;
    std::string text;
    std::string separator;
    Items expected;
  };
  const std::vector<Case> cases = {
      {"plain", "a,b,c", ",", {"a", "b", "c"}},
      {"empty text gives no items", "", ",", {}},
      {"no separator", "abc", ",", {"abc"}},
      {"adjacent separators give an empty item", "a,,b", ",", {"a", "", "b"}},
      {"separator at the end adds no empty item", "a,b,", ",", {"a", "b"}},
      {"separator at the start", ",a", ",", {"", "a"}},
      {"multi-byte separator", "a\r\nb\r\n\r\nc", "\r\n", {"a", "b", "", "c"}},
      {"not cut inside a double-byte char",
       "\xB0\x41"
       "A1",
       "A",
       {"\xB0\x41", "1"}},
      {"empty separator keeps the text whole", "abc", "", {"abc"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.text, c.separator), c.expected) << c.name;
}

TEST(TextOpsTest, ReplaceAllTable) {
  EXPECT_EQ(ReplaceAll("aaaa", "aa", "b"), "bb");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("a-b-c", "-", "--"), "a--b--c");
  EXPECT_EQ(ReplaceAll("Set-COOKIE: x; set-cookie: y", "set-cookie", "Set-Cookie", true),
            "Set-Cookie: x; Set-Cookie: y");
  EXPECT_EQ(ReplaceAll("Ab", "a", "x"), "Ab");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("", "a", "x"), "");
  EXPECT_EQ(ReplaceAll("\xB0\x41"
                       "A",
                       "A", "z"),
            "\xB0\x41"
            "z");
}

TEST(TextOpsTest, ToLowerAsciiFoldsSingleByteLettersOnly) {
  EXPECT_EQ(ToLowerAscii("HTTP://WWW.Example.COM/Path?Q=Z[@]"), "http://www.example.com/path?q=z[@]");
  // The second byte 0x41 of a double-byte character is not the letter A.
  EXPECT_EQ(ToLowerAscii("\xB0\x41"
                         "A\xC0"),
            "\xB0\x41"
            "a\xC0");
}

TEST(TextOpsTest, LeadingNumberTable) {
  struct Case {
    std::string text;
    double expected;
  };
  const std::vector<Case> cases = {
      {"42", 42}, {"  -3.5kb", -3.5}, {"+7", 7},     {"1e3x", 1000}, {".5", 0.5}, {"12.", 12}, {"abc", 0},
      {"", 0},    {"-", 0},           {".", 0},      {"0x10", 0},    {"inf", 0},  {"nan", 0},  {"\t\n 8", 8},
      {"1,5", 1}, {"3.25 MB", 3.25},  {"1e-400", 0}, {"-0", 0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.expected) << c.text;
  EXPECT_TRUE(std::isinf(LeadingNumber("1e400")));
  EXPECT_TRUE(std::isinf(LeadingNumber("-9" + std::string(400, '9'))));
  EXPECT_LT(LeadingNumber("-9" + std::string(400, '9')), 0);
}

TEST(TextOpsTest, TextBetweenTable) {
  const std::string quote_marker = Gbk("#引号");
  struct Case {
    const char* name;
    std::string text;
    std::string left;
    std::string right;
    int start;
    bool ignore_case;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"plain", "<t>song</t>", "<t>", "</t>", 1, false, "song"},
      {"left marker twice cuts after the first", "<t>a</t><t>b</t>", "<t>", "</t>", 1, false, "a"},
      {"from a start position", "<t>a</t><t>b</t>", "<t>", "</t>", 2, false, "b"},
      {"right marker only after the left one", "</t>x<t>y</t>", "<t>", "</t>", 1, false, "y"},
      {"left missing", "song</t>", "<t>", "</t>", 1, false, ""},
      {"right missing after the left", "</t><t>song", "<t>", "</t>", 1, false, ""},
      {"adjacent markers", "<t></t>", "<t>", "</t>", 1, false, ""},
      {"empty text", "", "<t>", "</t>", 1, false, ""},
      {"quote marker", "src=\"a.mp3\" x", "src=" + quote_marker, quote_marker, 1, false, "a.mp3"},
      {"quote marker in the right only", "title=x\">", "title=", quote_marker + ">", 1, false, "x"},
      {"ignoring case", "<TITLE>Hi</Title>", "<title>", "</title>", 1, true, "Hi"},
      {"case matters by default", "<TITLE>Hi</TITLE>", "<title>", "</title>", 1, false, ""},
      {"double-byte text", Gbk("标题：舞曲。"), Gbk("标题："), Gbk("。"), 1, false, Gbk("舞曲")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignore_case), c.expected) << c.name;
  }
}

TEST(TextOpsTest, HugeAndBinaryTextsAreHandled) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>(i * 37 % 256);
  // The newline keeps the marker on a character boundary whatever byte the binary part ends with.
  std::string page = binary + "\n<t>found</t>" + binary;
  EXPECT_EQ(TextBetween(page, "<t>", "</t>"), "found");
  EXPECT_EQ(Split(std::string(3, '\0') + "," + "\xFF", ",").size(), 2u);

  std::string huge(8 * 1024 * 1024, 'x');
  huge += "<end>";
  EXPECT_EQ(Find(huge, "<end>"), static_cast<int>(huge.size()) - 4);
  EXPECT_EQ(Trim(huge).size(), huge.size());
}

}  // namespace
}  // namespace morvalin
