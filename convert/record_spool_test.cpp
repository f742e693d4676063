#include "convert/record_spool.h"

#include <gtest/gtest.h>

#include "convert/flv_test_support.h"

namespace morvalin {
namespace {

TEST(RecordSpoolTest, RecordsBeyondTheMemoryPartComeBackInOrder) {
  RecordSpool spool(3);
  const uint32_t count = 10000;  // more than one spill of 4096
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t record[3] = {uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16)};
    ASSERT_TRUE(spool.Append(record).ok());
  }
  EXPECT_EQ(spool.size(), count);
  for (uint32_t i : {0u, 1u, 4095u, 4096u, 8191u, 8192u, 9999u, 17u}) {
    uint8_t record[3];
    ASSERT_TRUE(spool.Get(i, record).ok());
    EXPECT_EQ(record[0] | (record[1] << 8) | (record[2] << 16), static_cast<int>(i));
  }
  testing::TempDir dir;
  OutputFile out;
  ASSERT_TRUE(out.Create(dir / "all").ok());
  ASSERT_TRUE(spool.CopyTo(out).ok());
  ASSERT_TRUE(out.Close().ok());
  testing::Bytes all = testing::ReadFile(dir / "all");
  ASSERT_EQ(all.size(), count * 3);
  for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(all[i * 3 + 1], uint8_t(i >> 8)) << i;
}

}  // namespace
}  // namespace morvalin
