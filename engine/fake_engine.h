#pragma once
// A stand-in for the engine library in tests of the callers: it records every call in order, hands out
// handles 1, 2, 3 ..., and answers queries from a state per task that the test sets. It never touches
// the network or the disk.
//
// Calls are recorded as text: "XL_Init", "XL_UnInit", "XL_CreateTask", "XL_StartTask 1",
// "XL_StopTask 1", "XL_DeleteTask 1", "XL_DelTempFile", "XL_QueryTaskInfoEx 1", "XL_SetSpeedLimit 400".
// A call that receives a null record is recorded with " null" appended and returns 0, so a test can
// assert that the engine never receives one.
//
// Task states follow the calls the way the real engine's do: a created task is paused (stat 2),
// XL_StartTask makes it downloading (3), XL_StopTask paused (2), XL_DeleteTask failed (1, for good).
// SetTaskState overrides the state at any time. A query of a handle that was never created (nor set)
// returns 0, as does a query the test made fail.
//
// Thread-safe: the batch worker and the UI thread may call it at once.
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "engine/download_engine.h"
#include "engine/record_layout.h"

namespace morvalin::test {

class FakeEngine : public DownloadEngine {
 public:
  // What XL_QueryTaskInfoEx writes into the TaskInfoBlock, each at its offset; other bytes are kept.
  struct TaskState {
    std::int32_t stat = layout::kStatPaused;
    std::string szFilename;  // code page 936
    std::int64_t nTotalSize = 0;
    std::int64_t nTotalDownload = 0;
    float fPercent = 0;       // a fraction: 0.5 is half done
    std::int32_t nSpeed = 0;  // bytes per second
  };
  // A TaskParamBlock as XL_CreateTask received it, texts decoded to code page 936.
  struct CreatedTask {
    TaskHandle handle = 0;
    std::string szTaskUrl;
    std::string szRefUrl;
    std::string szCookies;
    std::string szFilename;
    std::string szSavePath;
    bool IsOnlyOriginal = false;
    bool DisableAutoRename = false;
    bool IsResume = false;
    std::int32_t nReserved1 = 0;
  };
  // The image XL_DelTempFile received, texts decoded to code page 936.
  struct TempFileRequest {
    std::string szFilename;
    std::string szSavePath;
  };

  std::int32_t XL_Init() override;
  std::int32_t XL_UnInit() override;
  TaskHandle XL_CreateTask(const void* task_param_block) override;
  std::int32_t XL_StartTask(TaskHandle handle) override;
  std::int32_t XL_StopTask(TaskHandle handle) override;
  std::int32_t XL_DeleteTask(TaskHandle handle) override;
  std::int32_t XL_DelTempFile(const void* task_param_image) override;
  std::int32_t XL_QueryTaskInfoEx(TaskHandle handle, void* task_info_block) override;
  std::int32_t XL_SetSpeedLimit(std::int32_t kilobytes_per_second) override;

  // Every call so far, in order.
  std::vector<std::string> Calls() const;
  // The calls without the queries, which a poll makes many of.
  std::vector<std::string> CallsExceptQueries() const;
  void ClearCalls();

  std::vector<CreatedTask> CreatedTasks() const;
  std::vector<TempFileRequest> TempFileRequests() const;

  // Sets what queries of `handle` report; the handle then counts as known even if never created.
  void SetTaskState(TaskHandle handle, const TaskState& state);
  // The state queries of `handle` report now (a default state for an unknown handle).
  TaskState GetTaskState(TaskHandle handle) const;
  // While `fails` is true, queries of `handle` return 0 and leave the block untouched.
  void SetQueryFails(TaskHandle handle, bool fails);
  // While `fails` is true, XL_CreateTask returns 0 and creates nothing (the call is still recorded).
  void SetCreateFails(bool fails);

  // The last limit set, 0 before any.
  std::int32_t SpeedLimit() const;
  // How many calls received a null record.
  int NullBlocks() const;

 private:
  void Record(std::string call);

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<CreatedTask> created_;
  std::vector<TempFileRequest> temp_files_;
  std::map<TaskHandle, TaskState> states_;
  std::set<TaskHandle> deleted_;
  std::set<TaskHandle> failing_queries_;
  bool create_fails_ = false;
  TaskHandle next_handle_ = 1;
  std::int32_t speed_limit_ = 0;
  int null_blocks_ = 0;
};

}  // namespace morvalin::test
