#include "engine/field_layout_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace morvalin {
namespace {

// The block's bytes [from, from + count).
std::string BlockBytes(const FieldLayoutBuffer& buffer, std::size_t from, std::size_t count) {
  return std::string(static_cast<const char*>(buffer.BlockAddress()) + from, count);
}

std::string FieldName(std::size_t i) {
  std::string name = "f";
  name += std::to_string(i);
  return name;
}

TEST(FieldLayoutBufferTest, CreateWithDefaultsGivesAZeroFilledKilobyte) {
  FieldLayoutBuffer buffer;
  EXPECT_EQ(buffer.BlockAddress(), nullptr);
  ASSERT_NE(buffer.Create(), nullptr);
  EXPECT_EQ(buffer.Capacity(), 1024u);
  EXPECT_EQ(buffer.Alignment(), 1);
  EXPECT_EQ(buffer.FillByte(), 204);
  EXPECT_EQ(buffer.UsedLength(), 0);
  EXPECT_EQ(BlockBytes(buffer, 0, 1024), std::string(1024, '\0'));
}

TEST(FieldLayoutBufferTest, KeysAreTheZlibCrc32OfTheName) {
  EXPECT_EQ(FieldLayoutBuffer::Key("123456789"), 0xCBF43926u);
  EXPECT_EQ(FieldLayoutBuffer::Key(""), 0u);
  EXPECT_EQ(FieldLayoutBuffer::Key("stat"), FieldLayoutBuffer::Key(std::string("stat")));
}

struct AlignmentCase {
  int alignment;
  std::vector<std::int32_t> widths;
  std::vector<std::size_t> offsets;  // where each field starts
  std::int32_t used_length;
};

class AlignmentTest : public testing::TestWithParam<AlignmentCase> {};

TEST_P(AlignmentTest, FieldsStartOnTheAlignmentAndGapsHoldTheFillByte) {
  const AlignmentCase& c = GetParam();
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(c.alignment, 0x7E, 64), nullptr);
  for (std::size_t i = 0; i < c.widths.size(); ++i) {
    // Mark each field with its own letter so its place in the block can be seen.
    ASSERT_TRUE(buffer.AddField(FieldName(i), c.widths[i], std::string(c.widths[i], char('a' + i))));
  }
  EXPECT_EQ(buffer.UsedLength(), c.used_length);
  std::string expected(64, '\0');
  std::size_t next = 0;
  for (std::size_t i = 0; i < c.widths.size(); ++i) {
    for (std::size_t b = next; b < c.offsets[i]; ++b) expected[b] = 0x7E;
    for (std::int32_t b = 0; b < c.widths[i]; ++b) expected[c.offsets[i] + b] = char('a' + i);
    next = c.offsets[i] + c.widths[i];
  }
  for (std::size_t b = next; b < static_cast<std::size_t>(c.used_length); ++b) expected[b] = 0x7E;
  EXPECT_EQ(BlockBytes(buffer, 0, 64), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, AlignmentTest,
    testing::Values(AlignmentCase{4, {1, 4}, {0, 4}, 8},          // bytes 1 to 3 are fill
                    AlignmentCase{4, {4, 4}, {0, 4}, 8},          // no gap when the width fits
                    AlignmentCase{8, {3, 9, 1}, {0, 8, 24}, 32},  // a gap after every field, the last too
                    AlignmentCase{1, {1, 3, 2}, {0, 1, 4}, 6},    // packed
                    AlignmentCase{0, {2, 2}, {0, 2}, 4},          // an alignment below 1 packs
                    AlignmentCase{4, {0, 2}, {0, 0}, 4}));        // a zero-width field takes no room

TEST(FieldLayoutBufferTest, InitialBytesAreCutToTheWidthOrLeaveTheRestZero) {
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(), nullptr);
  ASSERT_TRUE(buffer.AddField("long", 4, std::string("ABCDEFG")));
  ASSERT_TRUE(buffer.AddField("short", 4, std::string("xy")));
  ASSERT_TRUE(buffer.AddField("none", 4));
  ASSERT_TRUE(buffer.AddField("empty", 4, std::string()));
  EXPECT_EQ(BlockBytes(buffer, 0, 17), std::string("ABCDxy\0\0\0\0\0\0\0\0\0\0\0", 17));
  EXPECT_EQ(buffer.ReadFieldBytes("long"), "ABCD");
  EXPECT_EQ(buffer.ReadFieldBytes("short"), std::string("xy\0\0", 4));
}

TEST(FieldLayoutBufferTest, AddingANameTwiceIsRefusedAndChangesNothing) {
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(4), nullptr);
  ASSERT_TRUE(buffer.AddField("a", 2, std::string("12")));
  const std::string before = BlockBytes(buffer, 0, 16);
  EXPECT_FALSE(buffer.AddField("a", 8, std::string("99999999")));
  EXPECT_EQ(buffer.UsedLength(), 4);
  EXPECT_EQ(BlockBytes(buffer, 0, 16), before);
  EXPECT_EQ(buffer.ReadFieldBytes("a"), "12");
}

TEST(FieldLayoutBufferTest, NamesWithTheSameKeyAreTheSameField) {
  // Two different names with one CRC-32.
  ASSERT_EQ(FieldLayoutBuffer::Key("plumless"), FieldLayoutBuffer::Key("buckeroo"));
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(), nullptr);
  ASSERT_TRUE(buffer.AddField("plumless", 2, std::string("pl")));
  EXPECT_FALSE(buffer.AddField("buckeroo", 2));
  EXPECT_EQ(buffer.FindField("buckeroo"), 1);
  EXPECT_EQ(buffer.ReadFieldBytes("buckeroo"), "pl");
}

TEST(FieldLayoutBufferTest, FindFieldGivesTheOneBasedPositionInTheOrderAdded) {
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(), nullptr);
  for (const char* name : {"stat", "fail_code", "szFilename"}) ASSERT_TRUE(buffer.AddField(name, 4));
  EXPECT_EQ(buffer.FindField("stat"), 1);
  EXPECT_EQ(buffer.FindField("szFilename"), 3);
  EXPECT_EQ(buffer.FindField("Stat"), 0);
  EXPECT_EQ(buffer.FindField(""), 0);
}

TEST(FieldLayoutBufferTest, WritesStayInsideTheirField) {
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(), nullptr);
  ASSERT_TRUE(buffer.AddField("a", 3, std::string("aaa")));
  ASSERT_TRUE(buffer.AddField("b", 3, std::string("bbb")));
  EXPECT_TRUE(buffer.WriteFieldBytes("a", "XYZW"));  // cut to the width
  EXPECT_EQ(BlockBytes(buffer, 0, 6), "XYZbbb");
  EXPECT_TRUE(buffer.WriteFieldBytes("b", "Q"));  // the rest of the field is kept
  EXPECT_EQ(BlockBytes(buffer, 0, 6), "XYZQbb");
  EXPECT_FALSE(buffer.WriteFieldBytes("c", "1"));
  EXPECT_EQ(buffer.ReadFieldBytes("c"), "");
  EXPECT_EQ(BlockBytes(buffer, 0, 7), std::string("XYZQbb\0", 7));
}

// A field that would run past the end of the block is refused, and nothing is written.
TEST(FieldLayoutBufferTest, AFieldThatDoesNotFitIsRefused) {
  struct Case {
    int alignment;
    std::size_t capacity;
    std::vector<std::int32_t> fitting;  // fields that are laid out
    std::int32_t refused;               // the width then refused
    std::int32_t used_length;
  };
  const Case cases[] = {
      {1, 16, {10}, 7, 10},          // one byte too many
      {1, 16, {10, 6}, 1, 16},       // the block is full
      {4, 16, {4, 4, 4, 3}, 1, 16},  // the gap of the last field filled the block
      {4, 14, {4, 4}, 5, 8},         // the width fits, its gap would not
      {1, 16, {}, 17, 0},            // larger than the whole block
      {1, 16, {}, -1, 0},            // a negative width
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "alignment " << c.alignment << ", refused " << c.refused);
    FieldLayoutBuffer buffer;
    ASSERT_NE(buffer.Create(c.alignment, 0xCC, c.capacity), nullptr);
    for (std::size_t i = 0; i < c.fitting.size(); ++i) {
      ASSERT_TRUE(buffer.AddField(FieldName(i), c.fitting[i]));
    }
    const std::string before = BlockBytes(buffer, 0, c.capacity);
    EXPECT_FALSE(buffer.AddField("last", c.refused, std::string(32, 'X')));
    EXPECT_EQ(buffer.UsedLength(), c.used_length);
    EXPECT_EQ(buffer.FindField("last"), 0);
    EXPECT_EQ(BlockBytes(buffer, 0, c.capacity), before);
  }
}

TEST(FieldLayoutBufferTest, ReleaseDropsTheBlockAndEveryField) {
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(), nullptr);
  ASSERT_TRUE(buffer.AddField("a", 4));
  ASSERT_TRUE(buffer.AddField("b", 4));
  buffer.Release();
  EXPECT_EQ(buffer.BlockAddress(), nullptr);
  EXPECT_EQ(buffer.UsedLength(), 0);
  EXPECT_EQ(buffer.FindField("a"), 0);
  EXPECT_EQ(buffer.FindField("b"), 0);
  EXPECT_EQ(buffer.ReadFieldBytes("a"), "");
  EXPECT_FALSE(buffer.WriteFieldBytes("a", "1"));
  EXPECT_FALSE(buffer.AddField("a", 4)) << "no block to lay out in";
  buffer.Release();  // harmless twice
}

TEST(FieldLayoutBufferTest, ASecondCreateStartsAFreshBlock) {
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(4, 0xCC, 64), nullptr);
  ASSERT_TRUE(buffer.AddField("a", 1, std::string("\xFF")));
  ASSERT_NE(buffer.Create(1, 0x11, 32), nullptr);
  EXPECT_EQ(buffer.UsedLength(), 0);
  EXPECT_EQ(buffer.FindField("a"), 0);
  EXPECT_EQ(buffer.Capacity(), 32u);
  EXPECT_EQ(buffer.Alignment(), 1);
  EXPECT_EQ(buffer.FillByte(), 0x11);
  EXPECT_EQ(BlockBytes(buffer, 0, 32), std::string(32, '\0'));
  EXPECT_TRUE(buffer.AddField("a", 1));
}

TEST(FieldLayoutBufferTest, ABlockThatCannotBeHadLeavesNoBlock) {
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(), nullptr);
  ASSERT_TRUE(buffer.AddField("a", 4));
  EXPECT_EQ(buffer.Create(1, 204, SIZE_MAX), nullptr);
  EXPECT_EQ(buffer.BlockAddress(), nullptr);
  EXPECT_EQ(buffer.FindField("a"), 0);
  EXPECT_FALSE(buffer.AddField("b", 4));
  EXPECT_EQ(buffer.ReadFieldBytes("a"), "");
}

TEST(FieldLayoutBufferTest, DestroyLeavesTheObjectAsNew) {
  FieldLayoutBuffer buffer;
  ASSERT_NE(buffer.Create(8, 1, 16), nullptr);
  ASSERT_TRUE(buffer.AddField("a", 4));
  buffer.Destroy();
  EXPECT_EQ(buffer.BlockAddress(), nullptr);
  EXPECT_EQ(buffer.FindField("a"), 0);
  EXPECT_EQ(buffer.Alignment(), 0);
  ASSERT_NE(buffer.Create(), nullptr);
  EXPECT_EQ(buffer.Alignment(), 1);
}

}  // namespace
}  // namespace morvalin
