// Opening the store: a good file opens all three record sets; every kind of bad file leaves them not
// open, gives exactly the not-open results and leaves the file's bytes as they were.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "platform/code_page.h"
#include "store/store_test_support.h"
#include "store/task_store.h"

namespace morvalin {
namespace {

using testing::ReadFileBytes;
using testing::SecondConnection;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string kPassword(kStorePassword);

// A store with records in every table, large enough to span many pages.
void MakePopulatedStore(const std::string& path) {
  ASSERT_TRUE(testing::MakeStore(
      path,
      "INSERT INTO 下载记录 (文件完整地址, 下载文件名, 编号) VALUES ('http://m/a.mp3', 'a', 1), "
      "('http://m/b.mp3', 'b', 2);"
      "INSERT INTO 设置记录 (下载速度, 下载路径, 自动下载) VALUES ('9999', '/dj/', 1);"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
      "INSERT INTO 完成下载 (文件名) SELECT printf('%03d-', i) || hex(zeroblob(100)) FROM n;"));
}

// Every operation on a set that is not open gives the not-open result and changes nothing.
void ExpectNotOpenResults(RecordSet& set) {
  EXPECT_FALSE(set.IsOpen());
  EXPECT_EQ(set.RecordCount(), -1);
  set.GoToRecord(0);
  set.MoveFirst();
  EXPECT_EQ(set.ReadText("文件名"), "");
  std::int32_t value = 42;
  set.ReadInt("自动下载", value);
  EXPECT_EQ(value, 42);
  EXPECT_NE(set.AddRecord(), 1);
  set.WriteField("文件名", Gbk("x"));
  set.WriteField("编号", static_cast<std::int32_t>(1));
  set.MoveNext();
  set.DeleteCurrentRecord();
  set.DeleteAllRecords();
  RenumberPendingRecords(set);
  EXPECT_EQ(set.RecordCount(), -1);
}

TEST(OpenStoreTest, GoodFileOpensAllThreeRecordSetsOnTheFirstRecord) {
  TempDir dir;
  const std::string path = dir.File("Data.mdb");
  MakePopulatedStore(path);
  TaskStore store;
  store.OpenStore(path, kPassword);
  EXPECT_EQ(store.记录集1.RecordCount(), 2);
  EXPECT_EQ(store.记录集2.RecordCount(), 1);
  EXPECT_EQ(store.记录集3.RecordCount(), 300);
  EXPECT_EQ(store.记录集1.ReadText("下载文件名"), "a");
  EXPECT_EQ(store.记录集3.ReadText("文件名").substr(0, 4), "001-");
  std::int32_t automatic = 0;
  store.记录集2.ReadInt("自动下载", automatic);
  EXPECT_EQ(automatic, 1);
}

struct BadFile {
  const char* name;
  // Turns the good store's bytes into the bad file; nullopt removes the file.
  std::function<std::optional<std::string>(const std::string& good)> make;
  std::string password = kPassword;
};

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }

std::string Damaged(std::string bytes, std::size_t at) {
  for (std::size_t i = at; i < at + 16 && i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  return bytes;
}

const BadFile kBadFiles[] = {
    {"MissingFile", [](const std::string&) { return std::nullopt; }},
    {"WrongPassword", [](const std::string& good) { return good; }, "vortigane"},
    {"NoPasswordForAKeyedFile", [](const std::string& good) { return good; }, ""},
    {"NotADatabase", [](const std::string&) { return std::string(8192, 'x'); }},
    {"EmptyFile", [](const std::string&) { return std::string(); }},
    {"TruncatedToHalf", [](const std::string& good) { return good.substr(0, good.size() / 2); }},
    {"TruncatedToTheFirstPage", [](const std::string& good) { return good.substr(0, 1024); }},
    {"CutInsideAPage", [](const std::string& good) { return good.substr(0, good.size() - 300); }},
    {"DamagedFirstPage", [](const std::string& good) { return Damaged(good, 0); }},
    {"DamagedPageInTheMiddle", [](const std::string& good) { return Damaged(good, good.size() / 2 + 100); }},
    {"DamagedLastPage", [](const std::string& good) { return Damaged(good, good.size() - 200); }},
};

class BadFileTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadFileTest, LeavesEveryRecordSetNotOpenAndTheFileUntouched) {
  TempDir dir;
  const std::string good_path = dir.File("good.mdb");
  MakePopulatedStore(good_path);
  const std::string path = dir.File("Data.mdb");
  const std::optional<std::string> bytes = GetParam().make(ReadFileBytes(good_path));
  if (bytes) WriteFileBytes(path, *bytes);

  TaskStore store;
  store.OpenStore(path, GetParam().password);
  ExpectNotOpenResults(store.记录集1);
  ExpectNotOpenResults(store.记录集2);
  ExpectNotOpenResults(store.记录集3);
  if (bytes) {
    EXPECT_EQ(ReadFileBytes(path), *bytes);
  } else {
    EXPECT_FALSE(std::filesystem::exists(path)) << "the store must never create its file";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, BadFileTest, ::testing::ValuesIn(kBadFiles),
                         [](const ::testing::TestParamInfo<BadFile>& info) {
                           return std::string(info.param.name);
                         });

TEST(OpenStoreTest, DirectoryInPlaceOfTheFileIsNotOpened) {
  TempDir dir;
  TaskStore store;
  store.OpenStore(dir.path(), kPassword);
  ExpectNotOpenResults(store.记录集1);
}

struct SchemaChange {
  const char* name;
  const char* sql;
  bool open1, open2, open3;
};

void PrintTo(const SchemaChange& c, std::ostream* os) { *os << c.name; }

const SchemaChange kSchemaChanges[] = {
    {"SettingsTableMissing", "DROP TABLE 设置记录", true, false, true},
    {"FinishedTableLacksAField",
     "DROP TABLE 完成下载; CREATE TABLE 完成下载 (id INTEGER PRIMARY KEY, 文件名 TEXT, 完成时间 TEXT, "
     "歌曲来源 TEXT)",
     true, true, false},
    {"PendingTableIsAView",
     "DROP TABLE 下载记录; CREATE VIEW 下载记录 AS SELECT 1 AS 文件完整地址, 1 AS 下载文件名, 1 AS 下载路径, "
     "1 AS 歌曲来源, 1 AS 编号",
     false, true, true},
    {"ExtraFieldsAndNoKeyColumnStillOpen",
     "DROP TABLE 设置记录; CREATE TABLE 设置记录 (下载速度 TEXT, 下载路径 TEXT, 自动下载 INTEGER, 备注 TEXT)",
     true, true, true},
};

class SchemaChangeTest : public ::testing::TestWithParam<SchemaChange> {};

TEST_P(SchemaChangeTest, OnlyTheTablesWithAllTheirFieldsOpen) {
  TempDir dir;
  const std::string path = dir.File("Data.mdb");
  MakePopulatedStore(path);
  {
    SecondConnection other(path);
    ASSERT_TRUE(other.Execute(GetParam().sql));
  }
  TaskStore store;
  store.OpenStore(path, kPassword);
  EXPECT_EQ(store.记录集1.IsOpen(), GetParam().open1);
  EXPECT_EQ(store.记录集2.IsOpen(), GetParam().open2);
  EXPECT_EQ(store.记录集3.IsOpen(), GetParam().open3);
  for (RecordSet* set : {&store.记录集1, &store.记录集2, &store.记录集3}) {
    if (!set->IsOpen()) ExpectNotOpenResults(*set);
  }
  // The sets that did open work as usual.
  if (store.记录集2.IsOpen()) {
    ASSERT_EQ(store.记录集2.AddRecord(), 1);
    store.记录集2.WriteField("下载速度", Gbk("400"));
    store.记录集2.MoveNext();
    SecondConnection other(path);
    EXPECT_EQ(other.Read("设置记录", {"下载速度"}).back(), std::vector<std::string>{"400"});
  }
}

INSTANTIATE_TEST_SUITE_P(Schemas, SchemaChangeTest, ::testing::ValuesIn(kSchemaChanges),
                         [](const ::testing::TestParamInfo<SchemaChange>& info) {
                           return std::string(info.param.name);
                         });

// A write-protected file opens for reading (the saved state can still be restored), refuses new
// records, and no write reaches it.
TEST(OpenStoreTest, ReadOnlyFileReadsButTakesNoWrite) {
  TempDir dir;
  const std::string path = dir.File("Data.mdb");
  MakePopulatedStore(path);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const std::string before = ReadFileBytes(path);

  const std::string result = testing::RunInChild([&]() -> std::string {
    // Root writes through any file mode; run as an ordinary user for this.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return "skip";
    TaskStore store;
    store.OpenStore(path, kPassword);
    RecordSet& set = store.记录集1;
    std::string out = "count=" + std::to_string(set.RecordCount());
    out += " name=" + set.ReadText("下载文件名");
    out += " add=" + std::to_string(set.AddRecord());
    set.GoToRecord(0);
    set.WriteField("下载文件名", Gbk("changed"));
    set.MoveNext();
    set.GoToRecord(1);
    set.DeleteCurrentRecord();
    store.记录集3.DeleteAllRecords();
    out += " after=" + std::to_string(set.RecordCount()) + "," + std::to_string(store.记录集3.RecordCount());
    set.GoToRecord(0);
    out += " name=" + set.ReadText("下载文件名");
    return out;
  });
  if (result == "skip") GTEST_SKIP() << "cannot drop root to make the file read-only";
  EXPECT_EQ(result, "count=2 name=a add=0 after=2,300 name=a");
  EXPECT_EQ(ReadFileBytes(path), before);
}

}  // namespace
}  // namespace morvalin
