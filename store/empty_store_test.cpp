// The tool that puts the empty store in place: a keyed file with the three empty tables, written only
// where nothing exists yet.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "store/store_test_support.h"
#include "store/task_store.h"

namespace morvalin {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

int RunTool(const std::string& path) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl(MAKE_EMPTY_STORE, MAKE_EMPTY_STORE, path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ExpectEmptyStore(const std::string& path) {
  TaskStore store;
  store.OpenStore(path, std::string(kStorePassword));
  EXPECT_EQ(store.记录集1.RecordCount(), 0);
  EXPECT_EQ(store.记录集2.RecordCount(), 0);
  EXPECT_EQ(store.记录集3.RecordCount(), 0);
}

TEST(EmptyStoreTest, ToolWritesAKeyedStoreWithTheThreeEmptyTables) {
  TempDir dir;
  const std::string path = dir.File("Data.mdb");
  ASSERT_EQ(RunTool(path), 0);
  ExpectEmptyStore(path);
  EXPECT_EQ(ReadFileBytes(path).find("SQLite format 3"), std::string::npos) << "the file must be encrypted";
  EXPECT_FALSE(testing::SecondConnection(path, "").ok());
  // Nothing but the store is left in the directory.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(EmptyStoreTest, ToolLeavesAnExistingFileAlone) {
  TempDir dir;
  const std::string junk = dir.File("junk.mdb");
  WriteFileBytes(junk, "not a store");
  EXPECT_EQ(RunTool(junk), 0);
  EXPECT_EQ(ReadFileBytes(junk), "not a store");

  const std::string kept = dir.File("Data.mdb");
  ASSERT_EQ(RunTool(kept), 0);
  {
    TaskStore store;
    store.OpenStore(kept, std::string(kStorePassword));
    ASSERT_EQ(store.记录集3.AddRecord(), 1);
    store.记录集3.MoveNext();
  }
  const std::string before = ReadFileBytes(kept);
  EXPECT_EQ(RunTool(kept), 0);
  EXPECT_EQ(ReadFileBytes(kept), before);
}

TEST(EmptyStoreTest, ToolFailsWhereItCannotWriteAndLeavesNothing) {
  TempDir dir;
  EXPECT_EQ(RunTool(dir.File("no-such-dir/Data.mdb")), 1);
  EXPECT_EQ(RunTool(""), 1);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
}

TEST(EmptyStoreTest, BuildPutsAStoreIntoTheRunDirectory) {
  TaskStore store;
  store.OpenStore(std::string(MORVALIN_RUN_DIR) + "/data/Data.mdb", std::string(kStorePassword));
  EXPECT_TRUE(store.记录集1.IsOpen());
  EXPECT_TRUE(store.记录集2.IsOpen());
  EXPECT_TRUE(store.记录集3.IsOpen());
}

}  // namespace
}  // namespace morvalin
