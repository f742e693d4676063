#include <gtest/gtest.h>

#include "engine/record_layout.h"
#include "tasks/task_test_fixture.h"

namespace morvalin::test {
namespace {

using Strings = std::vector<std::string>;

class RestoreTest : public TaskTableTest {
 protected:
  void SetUp() override { OpenStore(); }

  void StoreSettings(const std::string& speed, const std::string& directory, std::int32_t auto_start) {
    RecordSet& settings = table_.Settings();
    ASSERT_EQ(settings.AddRecord(), 1);
    settings.WriteField("下载速度", Gbk(speed));
    settings.WriteField("下载路径", Gbk(directory));
    settings.WriteField("自动下载", auto_start);
    settings.MoveNext();
  }
  void StorePending(const std::string& url, const std::string& name, const std::string& directory) {
    RecordSet& pending = table_.Pending();
    ASSERT_EQ(pending.AddRecord(), 1);
    pending.WriteField("文件完整地址", Gbk(url));
    pending.WriteField("下载文件名", Gbk(name));
    pending.WriteField("下载路径", Gbk(directory));
    pending.WriteField("歌曲来源", "sitea.example");
    RenumberPendingRecords(pending);
  }
  void StoreFinished(const std::string& name, const std::string& time) {
    RecordSet& finished = table_.Finished();
    ASSERT_EQ(finished.AddRecord(), 1);
    finished.WriteField("文件名", Gbk(name));
    finished.WriteField("完成时间", Gbk(time));
    finished.WriteField("歌曲来源", "sitec.example");
    finished.WriteField("下载目录", "/done/");
    finished.MoveNext();
  }
};

TEST_F(RestoreTest, AutoStartOnStartsEveryTaskAndLeavesThemRunning) {
  StoreSettings("500", "/music/", 1);
  StorePending("http://media.sitea.example/1.mp3", "one.mp3", "/music/");
  StorePending("http://media.sitea.example/2.mp3", "two.mp3", "/other/");
  table_.RestoreSavedState();

  EXPECT_EQ(engine_.Calls(), (Strings{"XL_SetSpeedLimit 500", "XL_CreateTask", "XL_StartTask 1",
                                      "XL_CreateTask", "XL_StartTask 2"}));
  EXPECT_TRUE(window_.auto_start);
  EXPECT_EQ(window_.speed_text, "500");
  EXPECT_EQ(window_.directory_text, "/music/");
  EXPECT_EQ(window_.timer_period, 1000);
  ASSERT_EQ(window_.download_list.RowCount(), 2);
  EXPECT_EQ(DownloadRow(1), (Strings{"two.mp3", "", "", "", "", ""}));
  const auto created = engine_.CreatedTasks();
  ASSERT_EQ(created.size(), 2u);
  EXPECT_EQ(created[1].szTaskUrl, "http://media.sitea.example/2.mp3");
  EXPECT_EQ(created[1].szFilename, "two.mp3");
  EXPECT_EQ(created[1].szSavePath, "/other/");
  EXPECT_TRUE(created[1].DisableAutoRename);
  EXPECT_TRUE(created[1].IsResume);
  EXPECT_FALSE(created[1].IsOnlyOriginal);
}

TEST_F(RestoreTest, AutoStartOffPausesEveryTaskAtOnce) {
  StoreSettings("9999", "/music/", 0);
  StorePending("http://media.sitea.example/1.mp3", "one.mp3", "/music/");
  StorePending("http://media.sitea.example/2.mp3", "two.mp3", "/music/");
  table_.RestoreSavedState();
  EXPECT_EQ(engine_.Calls(), (Strings{"XL_SetSpeedLimit 9999", "XL_CreateTask", "XL_StartTask 1",
                                      "XL_StopTask 1", "XL_CreateTask", "XL_StartTask 2", "XL_StopTask 2"}));
  table_.PollTasks();
  EXPECT_EQ(window_.download_list.StateImage(0), kIconPaused);
  EXPECT_EQ(window_.download_list.StateImage(1), kIconPaused);
  // The first poll fills the source column from the record.
  EXPECT_EQ(DownloadRow(0)[kColSource], "sitea.example");
}

TEST_F(RestoreTest, SpeedWithoutANumberIsShownAsStoredAndGivesLimitZero) {
  StoreSettings("abc", Gbk("/没有/这个/目录/"), 1);
  StorePending("", "", "/does/not/exist/");
  table_.RestoreSavedState();
  EXPECT_EQ(window_.speed_text, "abc");
  EXPECT_EQ(engine_.Calls().at(0), "XL_SetSpeedLimit 0");
  // An empty URL and a missing directory still make a task; the engine decides what becomes of it.
  EXPECT_EQ(handles_.size(), 1u);
  EXPECT_EQ(window_.download_list.RowCount(), 1);
  EXPECT_EQ(engine_.NullBlocks(), 0);
}

TEST_F(RestoreTest, WithoutASettingsRecordTasksAreStartedAndStopped) {
  StorePending("http://media.sitea.example/1.mp3", "one.mp3", "/music/");
  table_.RestoreSavedState();
  EXPECT_EQ(engine_.Calls(), (Strings{"XL_CreateTask", "XL_StartTask 1", "XL_StopTask 1"}));
  EXPECT_EQ(window_.speed_text, "9999");
}

TEST_F(RestoreTest, FinishedRowsComeBackInRecordOrderWithTheCheckMark) {
  StoreFinished("x.mp3", "2016年5月12日7时34分10秒");
  StoreFinished("y.mp3", "2016年5月12日");
  StoreFinished("z.mp3", "2016年5月13日8时");
  table_.RestoreSavedState();
  ASSERT_EQ(window_.finished_list.RowCount(), 3);
  EXPECT_EQ(FinishedRow(0), (Strings{"x.mp3", "2016年5月12日7时34分10秒", "sitec.example", "/done/"}));
  EXPECT_EQ(FinishedRow(1)[0], "y.mp3");
  EXPECT_EQ(FinishedRow(2), (Strings{"z.mp3", "2016年5月13日8时", "sitec.example", "/done/"}));
  for (int row = 0; row < 3; ++row) EXPECT_EQ(window_.finished_list.StateImage(row), kIconFinished);
  EXPECT_EQ(window_.timer_period, 0);  // no pending task, no polling
  EXPECT_TRUE(engine_.Calls().empty());
}

TEST_F(TaskTableTest, RestoreWithTheStoreClosedDoesNothing) {
  table_.RestoreSavedState();
  EXPECT_TRUE(engine_.Calls().empty());
  EXPECT_EQ(window_.download_list.RowCount(), 0);
  EXPECT_EQ(window_.speed_text, "9999");
}

}  // namespace
}  // namespace morvalin::test
