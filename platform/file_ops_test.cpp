#include "platform/file_ops.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/run_directory.h"

namespace morvalin {
namespace {

TEST(FileOps, WriteReadModeDelete) {
  std::string path = testing::TempDir() + "/morvalin_file_ops_" + std::to_string(::getpid());
  std::string bytes("\x7F" "ELF\0\x01", 6);
  ASSERT_TRUE(WriteWholeFile(path, bytes));
  ASSERT_TRUE(WriteWholeFile(path, bytes));  // replaces, does not append
  EXPECT_EQ(ReadWholeFile(path), bytes);
  ASSERT_TRUE(SetOwnerOnlyExecutable(path));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(DeleteFileAt(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(DeleteFileAt(path));
}

TEST(FileOps, FailuresAreResults) {
  EXPECT_FALSE(WriteWholeFile("/nonexistent-dir/x", "a"));
  EXPECT_EQ(ReadWholeFile("/nonexistent-dir/x"), "");
  EXPECT_FALSE(SetOwnerOnlyExecutable("/nonexistent-dir/x"));
}

TEST(RunDirectory, IsTheDirectoryOfThisProgram) {
  std::string dir = RunDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '/');
  EXPECT_TRUE(std::filesystem::is_directory(dir));
  EXPECT_TRUE(FileExists(dir + "/platform_test"));
}

}  // namespace
}  // namespace morvalin
