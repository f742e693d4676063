#include "engine/fake_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_calls.h"
#include "engine/task_records.h"
#include "platform/code_page.h"

namespace morvalin::test {
namespace {

using Calls = std::vector<std::string>;

TEST(FakeEngineTest, RecordsCallsInOrderAndHandsOutHandlesFromOne) {
  FakeEngine engine;
  TaskParamBlock params;
  params.Build("http://a.example/1.mp3", {}, {}, "1.mp3", "/music/");
  EXPECT_EQ(engine.XL_SetSpeedLimit(400), 1);
  EXPECT_EQ(engine.XL_CreateTask(params.BlockAddress()), 1u);
  EXPECT_EQ(engine.XL_CreateTask(params.BlockAddress()), 2u);
  engine.XL_StartTask(2);
  engine.XL_StopTask(2);
  engine.XL_DeleteTask(1);
  engine.XL_Init();
  engine.XL_UnInit();
  EXPECT_EQ(engine.Calls(), (Calls{"XL_SetSpeedLimit 400", "XL_CreateTask", "XL_CreateTask", "XL_StartTask 2",
                                   "XL_StopTask 2", "XL_DeleteTask 1", "XL_Init", "XL_UnInit"}));
  EXPECT_EQ(engine.SpeedLimit(), 400);
  engine.ClearCalls();
  EXPECT_TRUE(engine.Calls().empty());
}

TEST(FakeEngineTest, DecodesWhatCreateAndDelTempFileReceived) {
  FakeEngine engine;
  TaskParamBlock params;
  params.Build(Gbk("http://a.example/舞曲.mp3"), {}, {}, Gbk("舞曲.mp3"), Gbk("/音乐/"), false, true, true);
  engine.XL_CreateTask(params.BlockAddress());
  DeleteEngineTempFile(engine, Gbk("/音乐/"), Gbk("舞曲.mp3"));

  ASSERT_EQ(engine.CreatedTasks().size(), 1u);
  const FakeEngine::CreatedTask task = engine.CreatedTasks()[0];
  EXPECT_EQ(task.handle, 1u);
  EXPECT_EQ(task.szTaskUrl, Gbk("http://a.example/舞曲.mp3"));
  EXPECT_EQ(task.szFilename, Gbk("舞曲.mp3"));
  EXPECT_EQ(task.szSavePath, Gbk("/音乐/"));
  EXPECT_FALSE(task.IsOnlyOriginal);
  EXPECT_TRUE(task.DisableAutoRename);
  EXPECT_TRUE(task.IsResume);
  EXPECT_EQ(task.nReserved1, 5);
  ASSERT_EQ(engine.TempFileRequests().size(), 1u);
  EXPECT_EQ(engine.TempFileRequests()[0].szFilename, Gbk("舞曲.mp3"));
  EXPECT_EQ(engine.TempFileRequests()[0].szSavePath, Gbk("/音乐/"));
}

TEST(FakeEngineTest, QueryWritesTheSetStateIntoTheInfoBlock) {
  FakeEngine engine;
  TaskParamBlock params;
  params.Build("http://a.example/x.mp3", {}, {}, "x.mp3", "/m/");
  const TaskHandle handle = engine.XL_CreateTask(params.BlockAddress());
  TaskInfoBlock info;
  info.Build();

  // Created tasks are paused and report their file name; start and stop move the state.
  ASSERT_EQ(engine.XL_QueryTaskInfoEx(handle, info.BlockAddress()), 1);
  EXPECT_EQ(info.stat(), 2);
  EXPECT_EQ(info.szFilename(), "x.mp3");
  engine.XL_StartTask(handle);
  engine.XL_QueryTaskInfoEx(handle, info.BlockAddress());
  EXPECT_EQ(info.stat(), 3);

  engine.SetTaskState(handle, {4, Gbk("改名.mp3"), 1000, 500, 0.5f, 2048});
  ASSERT_EQ(engine.XL_QueryTaskInfoEx(handle, info.BlockAddress()), 1);
  EXPECT_EQ(info.stat(), 4);
  EXPECT_EQ(info.szFilename(), Gbk("改名.mp3"));
  EXPECT_EQ(info.nTotalSize(), 1000);
  EXPECT_EQ(info.nTotalDownload(), 500);
  EXPECT_FLOAT_EQ(info.fPercent(), 0.5f);
  EXPECT_EQ(info.nSpeed(), 2048);

  engine.XL_DeleteTask(handle);
  engine.XL_QueryTaskInfoEx(handle, info.BlockAddress());
  EXPECT_EQ(info.stat(), 1);
  engine.XL_StartTask(handle);
  engine.XL_QueryTaskInfoEx(handle, info.BlockAddress());
  EXPECT_EQ(info.stat(), 1) << "a deleted task stays failed";
}

TEST(FakeEngineTest, FailedQueriesReturnZeroAndLeaveTheBlockAlone) {
  FakeEngine engine;
  TaskInfoBlock info;
  info.Build();
  EXPECT_EQ(engine.XL_QueryTaskInfoEx(7, info.BlockAddress()), 0) << "never created";

  engine.SetTaskState(7, {4, "a.mp3", 1, 1, 1.0f, 0});
  engine.SetQueryFails(7, true);
  EXPECT_EQ(engine.XL_QueryTaskInfoEx(7, info.BlockAddress()), 0);
  EXPECT_EQ(info.stat(), 2);
  engine.SetQueryFails(7, false);
  EXPECT_EQ(engine.XL_QueryTaskInfoEx(7, info.BlockAddress()), 1);
  EXPECT_EQ(info.stat(), 4);

  engine.SetCreateFails(true);
  TaskParamBlock params;
  params.Build("http://a.example/x.mp3");
  EXPECT_EQ(engine.XL_CreateTask(params.BlockAddress()), 0u);
  EXPECT_TRUE(engine.CreatedTasks().empty());
}

TEST(FakeEngineTest, NullRecordsAreCountedAndRecorded) {
  FakeEngine engine;
  EXPECT_EQ(engine.XL_CreateTask(nullptr), 0u);
  EXPECT_EQ(engine.XL_QueryTaskInfoEx(1, nullptr), 0);
  EXPECT_EQ(engine.XL_DelTempFile(nullptr), 0);
  EXPECT_EQ(engine.NullBlocks(), 3);
  EXPECT_EQ(engine.Calls(),
            (Calls{"XL_CreateTask null", "XL_QueryTaskInfoEx 1 null", "XL_DelTempFile null"}));
}

TEST(FakeEngineTest, CallsExceptQueriesLeavesThePollOut) {
  FakeEngine engine;
  engine.XL_SetSpeedLimit(100);
  TaskInfoBlock info;
  info.Build();
  engine.XL_QueryTaskInfoEx(1, info.BlockAddress());
  engine.XL_StartTask(1);
  EXPECT_EQ(engine.CallsExceptQueries(), (Calls{"XL_SetSpeedLimit 100", "XL_StartTask 1"}));
}

}  // namespace
}  // namespace morvalin::test
