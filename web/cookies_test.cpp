#include "web/cookies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"

namespace morvalin {
namespace {

TEST(CookiesTest, MergeTable) {
  struct Case {
    const char* name;
    std::string cookies;
    std::string returned;
    std::string merged;
    std::string returned_after;
  };
  const std::vector<Case> cases = {
      {"returned ones first, then the old ones not set again", "a=1; b=2", "b=3", "b=3; a=1", "b=3"},
      {"deleted cookie dropped", "a=1; b=2", "a=deleted", "b=2", "a=deleted"},
      {"both empty", "", "", "", ""},
      {"empty old text", "", "x=1", "x=1", "x=1"},
      {"empty returned text", "a=1;b=2", "", "a=1; b=2", ""},
      {"blanks inside values removed", "a=hello world", "c=x y", "c=xy; a=helloworld", "c=xy"},
      {"full-width blanks removed too", "a=1\xA1\xA1", "", "a=1", ""},
      {"first of several old items of one name survives", "a=1; a=2; b=1", "", "a=1; b=1", ""},
      {"names compared with case", "A=1", "a=2", "a=2; A=1", "a=2"},
      {"repeated returned items removed", "", "x=1; x=1; y=2", "x=1; y=2", "x=1;x=1;y=2"},
      {"returned items of one name but other values kept", "", "x=1; x=2", "x=1; x=2", "x=1;x=2"},
      {"item without a value", "flag; a=1", "a=2", "a=2; flag", "a=2"},
      {"old deleted item dropped as well", "a=deleted; b=1", "", "b=1", ""},
      {"trailing separator", "a=1;", "b=2;", "b=2; a=1", "b=2;"},
  };
  for (const Case& c : cases) {
    std::string cookies = c.cookies;
    std::string returned = c.returned;
    EXPECT_EQ(MergeCookies(cookies, returned), c.merged) << c.name;
    EXPECT_EQ(cookies, c.merged) << c.name;
    EXPECT_EQ(returned, c.returned_after) << c.name;
  }
}

TEST(CookiesTest, CookieNameAndLookup) {
  EXPECT_EQ(CookieName(" sid =abc=d"), "sid");
  EXPECT_EQ(CookieName("flag"), "flag");
  EXPECT_EQ(CookieName("=v"), "");
  EXPECT_EQ(CookieName(""), "");
  const std::vector<std::string> items = {"a=1", " B = 2", "c"};
  EXPECT_TRUE(HasCookieNamed(items, "B"));
  EXPECT_TRUE(HasCookieNamed(items, "c"));
  EXPECT_FALSE(HasCookieNamed(items, "b"));
  EXPECT_FALSE(HasCookieNamed({}, ""));
}

TEST(CookiesTest, RemoveDuplicateItemsAndFindItem) {
  EXPECT_EQ(RemoveDuplicateItems("a; b; a", "; "), "a; b");
  EXPECT_EQ(RemoveDuplicateItems("", "; "), "");
  EXPECT_EQ(RemoveDuplicateItems("a|A|a|", "|"), "a|A");
  EXPECT_EQ(RemoveDuplicateItems(Gbk("甲,乙,甲"), ","), Gbk("甲,乙"));
  const std::vector<std::string> items = {"x", "y", "x"};
  EXPECT_EQ(FindItem(items, "x"), 1);
  EXPECT_EQ(FindItem(items, "y"), 2);
  EXPECT_EQ(FindItem(items, "X"), -1);
  EXPECT_EQ(FindItem({}, ""), -1);
}

}  // namespace
}  // namespace morvalin
