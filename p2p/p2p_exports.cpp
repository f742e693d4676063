// The nine exported functions. Each one starts the engine at its first call (so calls before XL_Init
// work), forwards to the task table and returns at once; no exception leaves them.
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "p2p/aria2_driver.h"
#include "p2p/p2p.h"
#include "p2p/record_io.h"
#include "p2p/task_table.h"

namespace morvalin::p2p {
namespace {

// One engine: the task table and the thread that drives aria2 for it.
struct Engine {
  TaskTable table;
  std::thread thread;
};

std::mutex engine_mutex;
Engine* engine = nullptr;  // guarded by engine_mutex
std::once_flag exit_hook;

void StopEngineLocked() {
  if (!engine) return;
  std::unique_ptr<Engine> stopping(engine);
  engine = nullptr;
  stopping->table.RequestStop();
  if (stopping->thread.joinable()) stopping->thread.join();
}

// A host that ends without XL_UnInit still gets its control files saved. The hook is registered once
// the aria2 session exists, so it runs before aria2's own static objects are destroyed.
void StopEngineAtExit() {
  std::lock_guard<std::mutex> lock(engine_mutex);
  StopEngineLocked();
}

TaskTable& Table() {
  if (!engine) {
    auto started = std::make_unique<Engine>();
    TaskTable& table = started->table;
    started->thread = std::thread([&table] {
      Aria2Driver driver(table, [] { std::call_once(exit_hook, [] { std::atexit(StopEngineAtExit); }); });
      driver.Run();
    });
    engine = started.release();
  }
  return engine->table;
}

// Runs `body` with the engine's table, turning any exception into `failure`.
template <typename Result, typename Body>
Result WithTable(Result failure, Body body) {
  try {
    std::lock_guard<std::mutex> lock(engine_mutex);
    return body(Table());
  } catch (...) {
    return failure;
  }
}

}  // namespace
}  // namespace morvalin::p2p

using morvalin::p2p::TaskParams;
using morvalin::p2p::TaskTable;
using morvalin::p2p::WithTable;

extern "C" {

int32_t XL_Init(void) {
  return WithTable<int32_t>(0, [](TaskTable&) { return 1; });
}

int32_t XL_UnInit(void) {
  try {
    std::lock_guard<std::mutex> lock(morvalin::p2p::engine_mutex);
    morvalin::p2p::StopEngineLocked();
    return 1;
  } catch (...) {
    return 0;
  }
}

uint32_t XL_CreateTask(const void* task_param_block) {
  if (!task_param_block) return 0;
  return WithTable<uint32_t>(0, [task_param_block](TaskTable& table) {
    return table.Create(morvalin::p2p::ReadTaskParams(task_param_block));
  });
}

int32_t XL_StartTask(uint32_t handle) {
  return WithTable<int32_t>(0, [handle](TaskTable& table) { return table.Start(handle) ? 1 : 0; });
}

int32_t XL_StopTask(uint32_t handle) {
  return WithTable<int32_t>(0, [handle](TaskTable& table) { return table.Stop(handle) ? 1 : 0; });
}

int32_t XL_DeleteTask(uint32_t handle) {
  return WithTable<int32_t>(0, [handle](TaskTable& table) { return table.Delete(handle) ? 1 : 0; });
}

int32_t XL_DelTempFile(const void* task_param_block) {
  if (!task_param_block) return 0;
  return WithTable<int32_t>(0, [task_param_block](TaskTable& table) {
    return table.DelTempFile(morvalin::p2p::ReadTaskParams(task_param_block)) ? 1 : 0;
  });
}

int32_t XL_QueryTaskInfoEx(uint32_t handle, void* task_info_block) {
  if (!task_info_block) return 0;
  return WithTable<int32_t>(0, [handle, task_info_block](TaskTable& table) {
    morvalin::p2p::TaskInfo info;
    if (!table.Query(handle, &info)) return 0;
    morvalin::p2p::WriteTaskInfo(info, task_info_block);
    return 1;
  });
}

int32_t XL_SetSpeedLimit(int32_t kilobytes_per_second) {
  return WithTable<int32_t>(0, [kilobytes_per_second](TaskTable& table) {
    table.SetSpeedLimit(static_cast<std::int64_t>(kilobytes_per_second) * 1024);
    return 1;
  });
}

}  // extern "C"
