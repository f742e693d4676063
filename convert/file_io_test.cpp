#include "convert/file_io.h"

#include <gtest/gtest.h>

#include "convert/flv_test_support.h"

namespace morvalin {
namespace {

uint8_t At(int64_t position) { return static_cast<uint8_t>((position * 7) ^ (position >> 9)); }

TEST(InputFileTest, ReadsViewsAndSkipsAgreeWithTheFileAtEveryKindOfMove) {
  testing::TempDir dir;
  const int64_t size = 300000;
  testing::Bytes content(static_cast<size_t>(size));
  for (int64_t i = 0; i < size; ++i) content[static_cast<size_t>(i)] = At(i);
  testing::WriteFile(dir / "in", content);

  InputFile in;
  ASSERT_TRUE(in.Open(dir / "in").ok());
  ASSERT_EQ(in.Length(), size);
  // Reads and views of varying sizes, with skips inside the buffer, just past it, far past it, and back.
  struct Step {
    int64_t skip;
    size_t read;
    bool view;
  };
  const Step steps[] = {{0, 11, false},     {5, 70000, false}, {100, 1, true},   {30000, 40000, true},
                        {40000, 3, false},  {-90000, 9, true}, {65536, 65536, false}, {0, 65536, true},
                        {0, 17, false}};
  for (const Step& s : steps) {
    SCOPED_TRACE(in.Position());
    in.Skip(s.skip);
    int64_t at = in.Position();
    testing::Bytes got;
    if (s.view) {
      auto view = in.ReadView(s.read);
      ASSERT_FALSE(view.empty());
      got.assign(view.begin(), view.end());
    } else {
      got.resize(s.read);
      ASSERT_TRUE(in.Read(got));
    }
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], At(at + static_cast<int64_t>(i))) << i;
    EXPECT_EQ(in.Position(), at + static_cast<int64_t>(got.size()));
  }
  // Past the end nothing is read and no error is reported.
  in.Seek(size - 2);
  testing::Bytes three(3);
  EXPECT_FALSE(in.Read(three));
  in.Seek(size + 10);
  EXPECT_TRUE(in.ReadView(5).empty());
  EXPECT_TRUE(in.ReadError().ok());
}

}  // namespace
}  // namespace morvalin
