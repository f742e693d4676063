#include <gtest/gtest.h>

#include "engine/record_layout.h"
#include "tasks/task_test_fixture.h"

namespace morvalin::test {
namespace {

using layout::kStatDownloading;
using layout::kStatFinished;
using layout::kStatPaused;
using Strings = std::vector<std::string>;

class CommandTest : public TaskTableTest {
 protected:
  void SetUp() override {
    OpenStore();
    CreateTask("http://media.sitea.example/a.mp3", "a.mp3", "/stored/", "sitea.example");
    CreateTask("http://media.sitea.example/b.mp3", "b.mp3", "/stored/", "sitea.example");
    engine_.ClearCalls();
  }
  Strings EngineCalls() { return engine_.CallsExceptQueries(); }
};

TEST_F(CommandTest, StartAllShowsArrowsAtOnceAndStartsOnlyPausedTasks) {
  Report(0, kStatPaused, "a.mp3");
  Report(1, kStatDownloading, "b.mp3");
  table_.StartAllTasks();
  EXPECT_EQ(window_.download_list.StateImage(0), kIconDownloading);
  EXPECT_EQ(window_.download_list.StateImage(1), kIconDownloading);
  EXPECT_EQ(EngineCalls(), Strings{"XL_StartTask 1"});
}

TEST_F(CommandTest, PauseAllShowsPauseBarsEvenOnAFinishedTaskUntilThePoll) {
  Report(0, kStatDownloading, "a.mp3");
  Report(1, kStatFinished, "b.mp3");
  table_.PauseAllTasks();
  EXPECT_EQ(window_.download_list.StateImage(0), kIconPaused);
  EXPECT_EQ(window_.download_list.StateImage(1), kIconPaused);
  EXPECT_EQ(EngineCalls(), Strings{"XL_StopTask 1"});
  table_.PollTasks();
  EXPECT_EQ(window_.download_list.RowCount(), 1);
  EXPECT_EQ(window_.finished_list.RowCount(), 1);
}

TEST_F(CommandTest, DoubleClickTogglesTheSelectedTask) {
  table_.ToggleSelectedTask();  // nothing selected
  EXPECT_TRUE(engine_.Calls().empty());

  window_.download_list.Select(1);
  table_.ToggleSelectedTask();  // downloading since creation
  EXPECT_EQ(window_.download_list.StateImage(1), kIconPaused);
  EXPECT_EQ(EngineCalls(), Strings{"XL_StopTask 2"});
  table_.PollTasks();
  table_.ToggleSelectedTask();
  EXPECT_EQ(window_.download_list.StateImage(1), kIconDownloading);
  EXPECT_EQ(EngineCalls(), (Strings{"XL_StopTask 2", "XL_StartTask 2"}));
  EXPECT_EQ(window_.download_list.StateImage(0), kIconDownloading);  // set by the poll, untouched since
}

TEST_F(CommandTest, ToggleSkipsAFinishedTaskAndAFailedQuery) {
  window_.download_list.Select(0);
  Report(0, kStatFinished, "a.mp3");
  table_.ToggleSelectedTask();
  engine_.SetQueryFails(handles_[0], true);
  table_.ToggleSelectedTask();
  table_.DeleteSelectedTask();
  EXPECT_TRUE(EngineCalls().empty());
  EXPECT_EQ(window_.download_list.StateImage(0), kNoIcon);
}

struct DeleteCase {
  const char* name;
  std::int32_t stat;
  Strings calls;
};

void PrintTo(const DeleteCase& c, std::ostream* os) { *os << c.name; }

class DeleteTest : public CommandTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteTest, StopsOnlyWhatRunsAndKeepsTheRowUntilThePoll) {
  Report(0, GetParam().stat, "a.mp3");
  Report(1, kStatDownloading, "b.mp3");
  window_.download_list.Select(0);
  window_.directory_text = Gbk("/typed/目录/");  // the field as it reads now, not the stored directory
  table_.DeleteSelectedTask();
  EXPECT_EQ(EngineCalls(), GetParam().calls);
  const auto requests = engine_.TempFileRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].szFilename, "a.mp3");
  EXPECT_EQ(requests[0].szSavePath, Gbk("/typed/目录/"));
  EXPECT_EQ(window_.download_list.RowCount(), 2);
  EXPECT_EQ(handles_.size(), 2u);
  EXPECT_EQ(table_.Pending().RecordCount(), 2);
  // The engine now reports the task failed: the next poll drops it from all three places.
  table_.PollTasks();
  EXPECT_EQ(window_.download_list.RowCount(), 1);
  EXPECT_EQ(PendingNames(), (std::vector<std::pair<std::string, int>>{{"b.mp3", 1}}));
  EXPECT_EQ(window_.finished_list.RowCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Status, DeleteTest,
    ::testing::Values(
        DeleteCase{"Paused", kStatPaused, {"XL_DeleteTask 1", "XL_DelTempFile"}},
        DeleteCase{"Downloading", kStatDownloading, {"XL_StopTask 1", "XL_DeleteTask 1", "XL_DelTempFile"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandTest, ClearFinishedListAsksFirst) {
  table_.ClearFinishedList();  // no rows: no question
  EXPECT_TRUE(window_.messages.empty());

  for (int i = 0; i < 2; ++i) Report(i, kStatFinished, i == 0 ? "a.mp3" : "b.mp3");
  table_.PollTasks();
  table_.PollTasks();
  CreateTask("http://media.sitea.example/c.mp3", "c.mp3", "/stored/", "sitea.example");
  Report(0, kStatFinished, "c.mp3");
  table_.PollTasks();
  ASSERT_EQ(window_.finished_list.RowCount(), 3);

  window_.answers = {false};
  table_.ClearFinishedList();
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(GbkToUtf8(window_.messages[0].text), "是否清空下载记录？");
  EXPECT_EQ(GbkToUtf8(window_.messages[0].caption), "清理");
  EXPECT_TRUE(window_.messages[0].question);
  EXPECT_EQ(window_.finished_list.RowCount(), 3);
  EXPECT_EQ(table_.Finished().RecordCount(), 3);

  window_.answers = {true};
  table_.ClearFinishedList();
  EXPECT_EQ(window_.finished_list.RowCount(), 0);
  EXPECT_EQ(table_.Finished().RecordCount(), 0);
}

}  // namespace
}  // namespace morvalin::test
