// What survives a process killed at once, and what a full disk does to a save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/code_page.h"
#include "store/store_test_support.h"
#include "store/task_store.h"

namespace morvalin {
namespace {

using testing::Rows;
using testing::SecondConnection;
using testing::TempDir;

const std::string kPassword(kStorePassword);

TEST(DurabilityTest, RecordsSavedByAMoveSurviveSigkillAndPendingOnesDoNot) {
  TempDir dir;
  const std::string path = dir.File("Data.mdb");
  ASSERT_TRUE(testing::MakeStore(path, "INSERT INTO 完成下载 (文件名) VALUES ('old')"));

  const std::string reports = testing::RunInChildUntilKilled(
      [&](const auto& report) {
        TaskStore store;
        store.OpenStore(path, kPassword);
        RecordSet& finished = store.记录集3;
        finished.AddRecord();
        finished.WriteField("文件名", Gbk("新的.mp3"));
        finished.MoveNext();
        finished.GoToRecord(0);
        finished.WriteField("文件名", Gbk("old, renamed"));
        finished.GoToRecord(1);
        // Left pending when the process dies.
        finished.AddRecord();
        finished.WriteField("文件名", Gbk("never saved"));
        report("saved");
        // Killed here, with the store still open.
        for (;;) ::pause();
      },
      [](const std::string& text) { return text.find("saved") != std::string::npos; });
  ASSERT_EQ(reports, "savedkilled");

  TaskStore store;
  store.OpenStore(path, kPassword);
  EXPECT_EQ(store.记录集3.RecordCount(), 2);
  SecondConnection other(path);
  EXPECT_EQ(other.Read("完成下载", {"文件名"}), (Rows{{"old, renamed"}, {"新的.mp3"}}));
}

// Killed at an arbitrary moment of a run of saves, possibly inside one: the file still opens and
// holds at least every record whose save had returned.
TEST(DurabilityTest, KillDuringARunOfSavesKeepsEverySavedRecord) {
  TempDir dir;
  const std::string path = dir.File("Data.mdb");
  ASSERT_TRUE(testing::MakeStore(path));
  constexpr int kSavedBeforeKill = 25;

  const std::string reports = testing::RunInChildUntilKilled(
      [&](const auto& report) {
        TaskStore store;
        store.OpenStore(path, kPassword);
        for (int i = 1; i <= 100000; ++i) {
          if (store.记录集1.AddRecord() != 1) return;
          store.记录集1.WriteField("下载文件名", Gbk("任务 " + std::to_string(i)));
          RenumberPendingRecords(store.记录集1);
          report("+");
        }
      },
      [](const std::string& text) { return std::count(text.begin(), text.end(), '+') >= kSavedBeforeKill; });
  ASSERT_NE(reports.find("killed"), std::string::npos) << reports;
  const int reported = static_cast<int>(std::count(reports.begin(), reports.end(), '+'));

  TaskStore store;
  store.OpenStore(path, kPassword);
  ASSERT_TRUE(store.记录集1.IsOpen());
  const int count = store.记录集1.RecordCount();
  EXPECT_GE(count, reported);
  for (int i = 0; i < count; ++i) {
    store.记录集1.GoToRecord(i);
    EXPECT_EQ(store.记录集1.ReadText("下载文件名"), Gbk("任务 " + std::to_string(i + 1)));
  }
}

// The file may not grow: saves that need more room fail, saves that fit still work, and nothing saved
// before is lost.
TEST(DurabilityTest, FullDiskFailsTheSaveAndKeepsEarlierRecords) {
  TempDir dir;
  const std::string path = dir.File("Data.mdb");
  ASSERT_TRUE(testing::MakeStore(path, "INSERT INTO 完成下载 (文件名) VALUES ('a'), ('b')"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const std::string big(256 * 1024, 'x');

  const std::string result = testing::RunInChild([&]() -> std::string {
    TaskStore store;
    store.OpenStore(path, kPassword);
    RecordSet& finished = store.记录集3;
    // From here on no file of this process may grow past the store's present size.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(st.st_size), static_cast<rlim_t>(st.st_size)};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return "no limit";
    std::string out;
    finished.AddRecord();
    finished.WriteField("文件名", big);
    finished.MoveNext();
    out += "count=" + std::to_string(finished.RecordCount());
    finished.GoToRecord(1);
    finished.WriteField("文件名", big);
    finished.MoveFirst();
    finished.GoToRecord(1);
    out += " b=" + finished.ReadText("文件名");
    finished.AddRecord();
    finished.WriteField("文件名", Gbk("small"));
    finished.MoveNext();
    out += " count=" + std::to_string(finished.RecordCount());
    return out;
  });
  EXPECT_EQ(result, "count=2 b=b count=3");

  TaskStore store;
  store.OpenStore(path, kPassword);
  EXPECT_EQ(store.记录集3.RecordCount(), 3);
  SecondConnection other(path);
  EXPECT_EQ(other.Read("完成下载", {"文件名"}), (Rows{{"a"}, {"b"}, {"small"}}));
}

}  // namespace
}  // namespace morvalin
