#include <gtest/gtest.h>

#include <algorithm>

#include "engine/record_layout.h"
#include "tasks/number_format.h"
#include "tasks/task_test_fixture.h"

namespace morvalin::test {
namespace {

using layout::kStatDownloading;
using layout::kStatFailed;
using layout::kStatFinished;
using layout::kStatPaused;
using Strings = std::vector<std::string>;

class PollTest : public TaskTableTest {
 protected:
  void SetUp() override {
    OpenStore();
    CreateTask("http://media.sitea.example/a.mp3", "a.mp3", "/music/", "sitea.example");
    CreateTask("http://media.siteb.example/b.mp4", "b.mp4", "/music/", "siteb.example");
    CreateTask("http://media.sitec.example/c.mp3", "c.mp3", "/other/", "sitec.example");
  }
};

TEST_F(PollTest, SecondOfThreeFinishesAndTheTickEndsThere) {
  Report(0, kStatDownloading, "a.mp3", 2048, 0.5f, 1048576, 5242880);
  Report(1, kStatDownloading, "b.mp4", 1024, 0.25f, 0, 0);
  Report(2, kStatPaused, "c.mp3", 512, 0.1f, 3407872, 10485760);
  table_.PollTasks();
  EXPECT_EQ(DownloadRow(2), (Strings{"c.mp3", "512 B", "10.00%", "3.25MB", "10.00MB", "sitec.example"}));
  EXPECT_EQ(window_.download_list.StateImage(2), kIconPaused);

  Report(0, kStatDownloading, "a.mp3", 4096, 0.4567f, 2097152, 5242880);
  Report(1, kStatFinished, "b.mp4", 3072, 1.0f, 5242880, 5242880);
  Report(2, kStatDownloading, "c.mp3", 99999, 0.9f, 0, 0);
  const TaskHandle first = handles_[0];
  const TaskHandle third = handles_[2];
  table_.PollTasks();

  EXPECT_EQ(handles_, (TaskHandleList{first, third}));
  ASSERT_EQ(window_.download_list.RowCount(), 2);
  EXPECT_EQ(DownloadRow(0), (Strings{"a.mp3", "4 KB", "45.67%", "2.00MB", "5.00MB", "sitea.example"}));
  EXPECT_EQ(window_.download_list.StateImage(0), kIconDownloading);
  // The third task was not visited: last tick's texts and icon.
  EXPECT_EQ(DownloadRow(1), (Strings{"c.mp3", "512 B", "10.00%", "3.25MB", "10.00MB", "sitec.example"}));
  EXPECT_EQ(window_.download_list.StateImage(1), kIconPaused);
  EXPECT_EQ(GbkToUtf8(window_.status_text), "总下载速度： " + GbkToUtf8(FormatByteSize(4096 + 3072)));

  ASSERT_EQ(window_.finished_list.RowCount(), 1);
  EXPECT_EQ(FinishedRow(0), (Strings{"b.mp4", "2016年5月12日7时34分10秒", "siteb.example", "/music/"}));
  EXPECT_EQ(window_.finished_list.StateImage(0), kIconFinished);
  EXPECT_EQ(PendingNames(), (std::vector<std::pair<std::string, int>>{{"a.mp3", 1}, {"c.mp3", 2}}));
  RecordSet& finished = table_.Finished();
  ASSERT_EQ(finished.RecordCount(), 1);
  finished.GoToRecord(0);
  EXPECT_EQ(GbkToUtf8(finished.ReadText("文件名")), "b.mp4");
  EXPECT_EQ(GbkToUtf8(finished.ReadText("完成时间")), "2016年5月12日7时34分10秒");
  EXPECT_EQ(GbkToUtf8(finished.ReadText("歌曲来源")), "siteb.example");
  EXPECT_EQ(GbkToUtf8(finished.ReadText("下载目录")), "/music/");
  EXPECT_TRUE(converter_.paths.empty());
}

TEST_F(PollTest, FailedTaskIsDroppedFromAllThreePlacesWithoutAFinishedRow) {
  Report(0, kStatDownloading, "a.mp3");
  Report(1, kStatFailed, "b.mp4");
  Report(2, kStatDownloading, "c.mp3");
  const TaskHandleList before = handles_;
  table_.PollTasks();
  EXPECT_EQ(handles_, (TaskHandleList{before[0], before[2]}));
  EXPECT_EQ(window_.download_list.CellText(1, kColName), "c.mp3");
  EXPECT_EQ(PendingNames(), (std::vector<std::pair<std::string, int>>{{"a.mp3", 1}, {"c.mp3", 2}}));
  EXPECT_EQ(window_.finished_list.RowCount(), 0);
  EXPECT_EQ(table_.Finished().RecordCount(), 0);
  EXPECT_TRUE(window_.messages.empty());
}

TEST_F(PollTest, OnlyTheLowerCaseFlvExtensionIsConverted) {
  struct Case {
    const char* name;
    bool converted;
  };
  const Case cases[] = {{"mix.flv", true}, {"mix.FLV", false}, {"a.flv.part", true}, {"mix.mp3", false}};
  for (const Case& c : cases) {
    converter_.paths.clear();
    CreateTask("http://media.sitee.example/x", c.name, "/舞 曲/", "sitee.example");
    const int last = static_cast<int>(handles_.size()) - 1;
    Report(last, kStatFinished, c.name);
    for (int i = 0; i < last; ++i) Report(i, kStatDownloading, DownloadRow(i)[0]);
    table_.PollTasks();
    if (c.converted) {
      EXPECT_EQ(converter_.paths, Strings{Gbk("/舞 曲/") + c.name}) << c.name;
    } else {
      EXPECT_TRUE(converter_.paths.empty()) << c.name;
    }
    EXPECT_EQ(window_.download_list.RowCount(), 3) << c.name;
  }
}

TEST_F(PollTest, EngineFileNameReplacesTheStoredOne) {
  Report(0, kStatDownloading, "a (renamed).mp3");
  table_.PollTasks();
  EXPECT_EQ(DownloadRow(0)[0], "a (renamed).mp3");
  EXPECT_EQ(PendingNames().at(0), (std::pair<std::string, int>{"a (renamed).mp3", 1}));
}

TEST_F(PollTest, FailedQueryLeavesTheRowAndItsSpeedOut) {
  Report(0, kStatDownloading, "a.mp3", 2048);
  Report(1, kStatDownloading, "b.mp4", 1048576);
  Report(2, kStatDownloading, "c.mp3", 2048);
  engine_.SetQueryFails(handles_[1], true);
  table_.PollTasks();
  EXPECT_EQ(DownloadRow(1), (Strings{"b.mp4", "", "", "", "", ""}));
  EXPECT_EQ(window_.download_list.StateImage(1), kNoIcon);
  EXPECT_EQ(GbkToUtf8(window_.status_text), "总下载速度： 4 KB");
}

TEST_F(PollTest, TickArrivingWhileThePollYieldsDoesNotNest) {
  for (int i = 0; i < 3; ++i) Report(i, kStatDownloading, DownloadRow(i)[0]);
  int nested_calls = 0;
  window_.pending_events = [&] {
    ++nested_calls;
    table_.PollTasks();
  };
  engine_.ClearCalls();
  table_.PollTasks();
  EXPECT_EQ(nested_calls, 3);
  EXPECT_EQ(engine_.Calls().size(), 3u);  // one query per task, not one pass per yield
}

TEST_F(PollTest, TaskAppendedWhileThePollYieldsWaitsForTheNextTick) {
  for (int i = 0; i < 3; ++i) Report(i, kStatDownloading, DownloadRow(i)[0]);
  bool appended = false;
  window_.pending_events = [&] {
    if (appended) return;
    appended = true;
    CreateTask("http://media.sited.example/d.mp3", "d.mp3", "/music/", "sited.example");
  };
  engine_.ClearCalls();
  table_.PollTasks();
  const Strings calls = engine_.Calls();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& call) { return call.rfind("XL_QueryTaskInfoEx", 0) == 0; }),
            3);
  EXPECT_EQ(window_.download_list.RowCount(), 4);
}

TEST(PollWithoutTasks, WritesAZeroTotal) {
  FakeEngine engine;
  TaskParamBlock param;
  TaskInfoBlock info;
  TaskHandleList handles;
  TaskStore store;
  MemoryTaskWindow window;
  RecordingConverter converter;
  TaskTable table(engine, param, info, handles, store, window, converter);
  table.PollTasks();
  EXPECT_EQ(GbkToUtf8(window.status_text), "总下载速度： ————");
  EXPECT_TRUE(engine.Calls().empty());
}

class PollWithoutStoreTest : public TaskTableTest {};

TEST_F(PollWithoutStoreTest, RowsAndHandlesStayInStepAndNothingPersists) {
  CreateTask("http://media.sitea.example/a.flv", "a.flv", "/music/", "sitea.example");
  CreateTask("http://media.sitea.example/b.mp3", "b.mp3", "/music/", "sitea.example");
  EXPECT_EQ(window_.timer_period, 1000);
  Report(0, kStatDownloading, "a.flv", 1536, 0.5f, 1048576, 2097152);
  Report(1, kStatDownloading, "b.mp3");
  table_.PollTasks();
  EXPECT_EQ(DownloadRow(0), (Strings{"a.flv", "1 KB", "50.00%", "1.00MB", "2.00MB", ""}));

  Report(0, kStatFinished, "a.flv");
  table_.PollTasks();
  EXPECT_EQ(handles_.size(), 1u);
  EXPECT_EQ(DownloadRow(0)[0], "b.mp3");
  EXPECT_EQ(FinishedRow(0), (Strings{"a.flv", "2016年5月12日7时34分10秒", "", ""}));
  // No stored path: the converter is handed an empty one and leaves everything alone.
  EXPECT_EQ(converter_.paths, Strings{""});
  EXPECT_EQ(engine_.NullBlocks(), 0);
}

}  // namespace
}  // namespace morvalin::test
