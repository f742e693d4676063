// Record operations as sequences of steps, with the table contents read back afterwards through a
// second connection while the store is still open (so only what was really saved shows).
#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <tuple>

#include "platform/code_page.h"
#include "store/store_test_support.h"
#include "store/task_store.h"

namespace morvalin {
namespace {

using testing::Rows;
using testing::SecondConnection;
using testing::TempDir;

struct Step {
  enum Kind {
    kAdd,
    kWrite,
    kWriteInt,
    kNext,
    kFirst,
    kGo,
    kDelete,
    kDeleteAll,
    kRenumber,
    kRead,
    kReadInt,
    kCount,
    kOther
  };
  Kind kind = kAdd;
  std::string field;  // UTF-8
  std::string text;   // UTF-8: a value, an expected text, or SQL for kOther
  int number = 0;
  std::optional<int> expected_int;  // kReadInt: nullopt when the variable must keep its value
};

Step Make(Step::Kind kind, std::string field = {}, std::string text = {}, int number = 0) {
  Step step;
  step.kind = kind;
  step.field = std::move(field);
  step.text = std::move(text);
  step.number = number;
  return step;
}
Step Add() { return Make(Step::kAdd); }
Step Write(std::string f, std::string v) { return Make(Step::kWrite, std::move(f), std::move(v)); }
Step WriteInt(std::string f, int v) { return Make(Step::kWriteInt, std::move(f), {}, v); }
Step Next() { return Make(Step::kNext); }
Step First() { return Make(Step::kFirst); }
Step Go(int n) { return Make(Step::kGo, {}, {}, n); }
Step Delete() { return Make(Step::kDelete); }
Step DeleteAll() { return Make(Step::kDeleteAll); }
Step Renumber() { return Make(Step::kRenumber); }
Step Read(std::string f, std::string expected) {
  return Make(Step::kRead, std::move(f), std::move(expected));
}
Step ReadInt(std::string f, std::optional<int> expected) {
  Step step = Make(Step::kReadInt, std::move(f));
  step.expected_int = expected;
  return step;
}
Step Count(int n) { return Make(Step::kCount, {}, {}, n); }
// A change made by another connection while the record set is open.
Step Other(std::string sql) { return Make(Step::kOther, {}, std::move(sql)); }

struct Case {
  const char* name;
  int record_set;    // 1, 2 or 3
  std::string seed;  // SQL run before the store is opened
  std::vector<Step> steps;
  std::string table;
  std::vector<std::string> fields;
  Rows expected;
};

// Runs the steps and returns a description of every step that went other than expected.
std::string RunSteps(RecordSet& set, SecondConnection& other, const std::vector<Step>& steps) {
  std::string failures;
  const auto fail = [&](std::size_t i, const std::string& what) {
    failures += "step " + std::to_string(i) + ": " + what + "\n";
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    switch (s.kind) {
      case Step::kAdd:
        if (set.AddRecord() != 1) fail(i, "AddRecord did not return 1");
        break;
      case Step::kWrite:
        set.WriteField(s.field, Gbk(s.text));
        break;
      case Step::kWriteInt:
        set.WriteField(s.field, static_cast<std::int32_t>(s.number));
        break;
      case Step::kNext:
        set.MoveNext();
        break;
      case Step::kFirst:
        set.MoveFirst();
        break;
      case Step::kGo:
        set.GoToRecord(s.number);
        break;
      case Step::kDelete:
        set.DeleteCurrentRecord();
        break;
      case Step::kDeleteAll:
        set.DeleteAllRecords();
        break;
      case Step::kRenumber:
        RenumberPendingRecords(set);
        break;
      case Step::kRead: {
        const std::string got = GbkToUtf8(set.ReadText(s.field));
        if (got != s.text) fail(i, "read " + s.field + " gave '" + got + "', expected '" + s.text + "'");
        break;
      }
      case Step::kReadInt: {
        std::int32_t value = -7;
        set.ReadInt(s.field, value);
        if (value != s.expected_int.value_or(-7)) {
          fail(i, "ReadInt " + s.field + " gave " + std::to_string(value));
        }
        break;
      }
      case Step::kCount:
        if (set.RecordCount() != s.number) fail(i, "RecordCount " + std::to_string(set.RecordCount()));
        break;
      case Step::kOther:
        if (!other.Execute(s.text)) fail(i, "other connection could not run " + s.text);
        break;
    }
  }
  return failures;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::string kSeedFinished = "INSERT INTO 完成下载 (文件名) VALUES ('a'), ('b'), ('c')";
const std::string kSeedPending =
    "INSERT INTO 下载记录 (下载文件名, 编号) VALUES ('a', 1), ('b', 2), ('c', 3), ('d', 4)";
const std::vector<std::string> kFinishedName = {"文件名"};
const std::vector<std::string> kPendingNameNumber = {"下载文件名", "编号"};
const std::vector<std::string> kSettingsFields = {"下载速度", "下载路径", "自动下载"};

// clang-format off
const Case kCases[] = {
    // Pending new records.
    {"NewRecordIsSavedByMoveNext", 3, kSeedFinished,
     {Add(), Write("文件名", "舞曲.mp3"), Write("完成时间", "2026-12-11 03:00:00"), Next()},
     "完成下载", {"文件名", "完成时间"},
     {{"a", "(null)"}, {"b", "(null)"}, {"c", "(null)"}, {"舞曲.mp3", "2026-12-11 03:00:00"}}},
    {"NewRecordIsPendingUntilAMove", 3, kSeedFinished,
     {Add(), Write("文件名", "d"), Count(4), Read("文件名", "d"), Read("完成时间", "")},
     "完成下载", kFinishedName, {{"a"}, {"b"}, {"c"}}},
    {"AddRecordSavesThePendingEditFirst", 3, kSeedFinished,
     {Go(0), Write("文件名", "A"), Add(), Write("文件名", "d"), Next()},
     "完成下载", kFinishedName, {{"A"}, {"b"}, {"c"}, {"d"}}},
    {"NewRecordWithNoFieldsWrittenIsStillSaved", 3, kSeedFinished, {Add(), First(), Count(4)},
     "完成下载", kFinishedName, {{"a"}, {"b"}, {"c"}, {"(null)"}}},
    {"DeletingAnUnsavedNewRecordLeavesNoTrace", 3, kSeedFinished,
     {Add(), Write("文件名", "d"), Delete(), Count(3), Next(), Read("文件名", ""), First(), Read("文件名", "a")},
     "完成下载", kFinishedName, {{"a"}, {"b"}, {"c"}}},

    // Pending edits.
    {"EditIsSavedByGoToRecord", 3, kSeedFinished,
     {Go(1), Write("文件名", "B"), Read("文件名", "B"), Go(0), Go(1), Read("文件名", "B")},
     "完成下载", kFinishedName, {{"a"}, {"B"}, {"c"}}},
    {"EditIsSavedByMoveFirst", 3, kSeedFinished, {Go(2), Write("文件名", "C"), First()},
     "完成下载", kFinishedName, {{"a"}, {"b"}, {"C"}}},
    {"EditIsPendingUntilAMove", 3, kSeedFinished, {Go(1), Write("文件名", "B")},
     "完成下载", kFinishedName, {{"a"}, {"b"}, {"c"}}},
    {"FieldTheTableLacksFailsAloneOthersAreSaved", 3, kSeedFinished,
     {Add(), Write("没有的字段", "x"), Write("文件名", "d"), Read("没有的字段", ""), Next()},
     "完成下载", kFinishedName, {{"a"}, {"b"}, {"c"}, {"d"}}},

    // Moving.
    {"MovingPastTheLastRecordLeavesNoCurrentRecord", 3, kSeedFinished,
     {Go(2), Next(), Read("文件名", ""), Write("文件名", "x"), Next(), Next(), First(), Read("文件名", "a")},
     "完成下载", kFinishedName, {{"a"}, {"b"}, {"c"}}},
    {"GoToRecordOutsideTheRecordsLeavesNoCurrentRecord", 3, kSeedFinished,
     {Go(1), Go(3), Read("文件名", ""), Write("文件名", "x"), Go(-1), Read("文件名", ""), Write("文件名", "y"),
      First()},
     "完成下载", kFinishedName, {{"a"}, {"b"}, {"c"}}},
    {"EmptyTableHasNoCurrentRecord", 2, {},
     {Count(0), First(), Read("下载速度", ""), Write("下载速度", "1"), Next(), Count(0)},
     "设置记录", kSettingsFields, {}},

    // Deleting.
    {"DeleteSavesAtOnceAndDropsThePendingEdit", 3, kSeedFinished,
     {Go(1), Write("文件名", "B"), Delete(), Count(2), Read("文件名", ""), Next(), Read("文件名", "c")},
     "完成下载", kFinishedName, {{"a"}, {"c"}}},
    {"DeletingTheLastRecordThenMovingLeavesNoCurrentRecord", 3, kSeedFinished,
     {Go(2), Delete(), Next(), Read("文件名", ""), Add(), Write("文件名", "d"), Next()},
     "完成下载", kFinishedName, {{"a"}, {"b"}, {"d"}}},
    {"ClearingEmptiesRecordsAddedInThisRunToo", 3, kSeedFinished,
     {Add(), Write("文件名", "d"), Next(), DeleteAll(), Count(0), Read("文件名", "")},
     "完成下载", kFinishedName, {}},
    {"ClearingDropsAPendingNewRecord", 3, kSeedFinished,
     {Add(), Write("文件名", "d"), DeleteAll(), Next(), Count(0)}, "完成下载", kFinishedName, {}},

    // The record set is a snapshot: another connection's records show after a re-read only.
    {"SnapshotIgnoresRecordsAddedElsewhereUntilReRead", 3, kSeedFinished,
     {Other("INSERT INTO 完成下载 (文件名) VALUES ('z')"), Count(3), Go(3), Read("文件名", ""),
      Other("DELETE FROM 完成下载 WHERE 文件名 = 'b'"), Go(1), Read("文件名", ""), Write("文件名", "x"), Go(0),
      DeleteAll(), Count(0)},
     "完成下载", kFinishedName, {}},

    // A record's values are read once per visit: whatever changed it since must show on the next read.
    {"ReadAfterSavingTheSameRecordShowsTheSavedValue", 3, kSeedFinished,
     {Go(1), Read("文件名", "b"), Write("文件名", "B"), Write("完成时间", "t"), Read("文件名", "B"), Go(1),
      Read("文件名", "B"), Read("完成时间", "t")},
     "完成下载", kFinishedName, {{"a"}, {"B"}, {"c"}}},
    {"ReadsAfterDeletingFollowTheRecordThatMovedUp", 3, kSeedFinished,
     {Go(1), Read("文件名", "b"), Delete(), Read("文件名", ""), Go(1), Read("文件名", "c"), Go(2), Delete(),
      Add(), Write("完成时间", "t"), Next(), Go(2), Read("文件名", ""), Read("完成时间", "t")},
     "完成下载", {"文件名", "完成时间"}, {{"a", "(null)"}, {"c", "(null)"}, {"(null)", "t"}}},
    {"ClearedTableReusingARowIdReadsTheNewRecord", 3, kSeedFinished,
     {First(), Read("文件名", "a"), Read("完成时间", ""), DeleteAll(), Add(), Write("完成时间", "t"), Next(),
      First(), Read("文件名", ""), Read("完成时间", "t")},
     "完成下载", {"文件名", "完成时间"}, {{"(null)", "t"}}},
    {"RecordsReadBeforeAnotherConnectionsChangeShowItOnTheNextVisit", 2,
     "INSERT INTO 设置记录 (下载速度, 自动下载) VALUES ('1', 1), ('2', 2)",
     {Go(0), Read("下载速度", "1"), Go(1), ReadInt("自动下载", 2), Other("UPDATE 设置记录 SET 自动下载 = 5, 下载速度 = '9'"),
      Go(1), ReadInt("自动下载", 5), Read("下载速度", "9"), Write("下载速度", "3"), Go(0), Read("下载速度", "9"),
      Go(1), Read("下载速度", "3")},
     "设置记录", kSettingsFields, {{"9", "(null)", "5"}, {"3", "(null)", "5"}}},

    // Texts are UTF-8 in the file and code page 936 for the caller.
    {"TextsOutsideTheCodePageReadAsQuestionMarks", 3,
     "INSERT INTO 完成下载 (文件名, 歌曲来源) VALUES ('舞曲😀.mp3', 'sitea.example')",
     {Read("文件名", "舞曲?.mp3"), Read("歌曲来源", "sitea.example"), Write("歌曲来源", "网站"), Next()},
     "完成下载", {"文件名", "歌曲来源"}, {{"舞曲😀.mp3", "网站"}}},
    {"OverlongStoredTextReadsEmpty", 3,
     "INSERT INTO 完成下载 (文件名, 完成时间) VALUES (hex(zeroblob(600000)), 'now')",
     {Read("文件名", ""), Read("完成时间", "now")},
     "完成下载", {"完成时间"}, {{"now"}}},

    // Integer fields and conversions.
    {"SettingsRecordWithIntegerField", 2, {},
     {Add(), Write("下载速度", "9999"), Write("下载路径", "/home/u/DJ舞曲/"), WriteInt("自动下载", 1), Next(),
      First(), ReadInt("自动下载", 1), Read("自动下载", "1"), Read("下载路径", "/home/u/DJ舞曲/")},
     "设置记录", kSettingsFields, {{"9999", "/home/u/DJ舞曲/", "1"}}},
    {"TextIntoIntegerFieldConvertsOnlyWholeNumbers", 2, {},
     {Add(), Write("自动下载", "abc"), Next(), Add(), Write("自动下载", " 12 "), Next(), Add(),
      Write("自动下载", "99999999999"), Next(), Add(), WriteInt("下载速度", 400), Write("自动下载", "+-3"), Next(),
      Add(), Write("自动下载", "-2147483648"), Next()},
     "设置记录", kSettingsFields,
     {{"(null)", "(null)", "(null)"}, {"(null)", "(null)", "12"}, {"(null)", "(null)", "(null)"},
      {"400", "(null)", "(null)"}, {"(null)", "(null)", "-2147483648"}}},
    {"ReadIntLeavesTheVariableWhenNothingConverts", 2,
     "INSERT INTO 设置记录 (下载速度, 自动下载) VALUES ('abc', NULL), ('77', 5000000000)",
     {ReadInt("自动下载", std::nullopt), ReadInt("下载速度", std::nullopt), ReadInt("没有的字段", std::nullopt),
      Next(), ReadInt("下载速度", 77), ReadInt("自动下载", std::nullopt), Next(), ReadInt("自动下载", std::nullopt),
      Add(), ReadInt("自动下载", std::nullopt)},
     "设置记录", kSettingsFields, {{"abc", "(null)", "(null)"}, {"77", "(null)", "5000000000"}}},

    // What the settings panel does on Apply, twice.
    {"ApplyTwiceLeavesOneSettingsRecordWithTheLastValues", 2, {},
     {DeleteAll(), Add(), Write("下载速度", "9999"), Write("下载路径", "/a/"), WriteInt("自动下载", 0), Next(),
      DeleteAll(), Add(), Write("下载速度", "400"), Write("下载路径", "/b/舞曲/"), WriteInt("自动下载", 1), Next()},
     "设置记录", kSettingsFields, {{"400", "/b/舞曲/", "1"}}},

    // Renumbering the pending tasks.
    {"RenumberAfterEachNewTask", 1, {},
     {Add(), Write("文件完整地址", "http://m/1.mp3"), Write("下载文件名", "一.mp3"), Renumber(), Add(),
      Write("下载文件名", "二.mp3"), Renumber(), Add(), Write("下载文件名", "三.mp3"), Renumber(), Count(3),
      Read("下载文件名", "")},
     "下载记录", kPendingNameNumber, {{"一.mp3", "1"}, {"二.mp3", "2"}, {"三.mp3", "3"}}},
    {"RenumberAfterRemovingATask", 1, kSeedPending, {Go(1), Delete(), Renumber()},
     "下载记录", kPendingNameNumber, {{"a", "1"}, {"c", "2"}, {"d", "3"}}},
    {"RenumberAfterRemovingFirstAndLast", 1, kSeedPending, {Go(0), Delete(), Renumber(), Go(2), Delete(), Renumber()},
     "下载记录", kPendingNameNumber, {{"b", "1"}, {"c", "2"}}},
    {"RenumberSavesARenamedTask", 1, kSeedPending, {Go(2), Write("下载文件名", "C"), Renumber()},
     "下载记录", kPendingNameNumber, {{"a", "1"}, {"b", "2"}, {"C", "3"}, {"d", "4"}}},
    {"RenumberAfterAddsAndDeletesMixed", 1, kSeedPending,
     {Add(), Write("下载文件名", "e"), Renumber(), Go(0), Delete(), Renumber(), Go(1), Delete(), Add(),
      Write("下载文件名", "f"), Renumber()},
     "下载记录", kPendingNameNumber, {{"b", "1"}, {"d", "2"}, {"e", "3"}, {"f", "4"}}},
    {"RenumberOnAnEmptyTableWritesNothing", 1, {}, {Renumber(), Count(0)}, "下载记录", kPendingNameNumber, {}},
};
// clang-format on

class RecordSetTest : public ::testing::TestWithParam<Case> {};

TEST_P(RecordSetTest, TableHoldsWhatWasSaved) {
  const Case& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("Data.mdb");
  ASSERT_TRUE(testing::MakeStore(path, c.seed));
  SecondConnection other(path);
  ASSERT_TRUE(other.ok());

  TaskStore store;
  store.OpenStore(path, std::string(kStorePassword));
  RecordSet& set = c.record_set == 1 ? store.记录集1 : c.record_set == 2 ? store.记录集2 : store.记录集3;
  ASSERT_TRUE(set.IsOpen());

  EXPECT_EQ(RunSteps(set, other, c.steps), "");
  EXPECT_EQ(other.Read(c.table, c.fields), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Steps, RecordSetTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace morvalin

namespace morvalin {
namespace {

// The worker thread writes 记录集1 while the UI thread writes 记录集3 over the same connection: each
// record set must still know the row ids of its own new records.
TEST(RecordSetThreadTest, TwoRecordSetsOnOneConnectionFromTwoThreads) {
  TempDir dir;
  const std::string path = dir.File("Data.mdb");
  // Far apart row ids in the two tables, so that one set taking the other's new row id shows.
  ASSERT_TRUE(testing::MakeStore(path, "INSERT INTO 下载记录 (rowid) VALUES (100000)"));
  TaskStore store;
  store.OpenStore(path, std::string(kStorePassword));
  store.记录集1.GoToRecord(0);
  store.记录集1.DeleteCurrentRecord();
  constexpr int kEach = 40;
  const auto fill = [](RecordSet& set, const char* field, const std::string& prefix) {
    for (int i = 0; i < kEach; ++i) {
      if (set.AddRecord() != 1) return;
      set.WriteField(field, prefix + std::to_string(i));
      set.MoveNext();
    }
  };
  std::thread worker(fill, std::ref(store.记录集1), "下载文件名", "task ");
  fill(store.记录集3, "文件名", "done ");
  worker.join();

  for (auto [set, field, prefix] :
       {std::tuple{&store.记录集1, "下载文件名", "task "}, std::tuple{&store.记录集3, "文件名", "done "}}) {
    ASSERT_EQ(set->RecordCount(), kEach);
    for (int i = 0; i < kEach; ++i) {
      set->GoToRecord(i);
      EXPECT_EQ(set->ReadText(field), prefix + std::to_string(i));
      // Rewriting through the set hits its own record, not one of the other table's row ids.
      set->WriteField(field, "x");
    }
    set->MoveFirst();
  }
  SecondConnection other(path);
  EXPECT_EQ(other.Read("下载记录", {"下载文件名"}), Rows(kEach, {"x"}));
  EXPECT_EQ(other.Read("完成下载", {"文件名"}), Rows(kEach, {"x"}));
}

}  // namespace
}  // namespace morvalin
