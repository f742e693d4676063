#pragma once
// The download engine as the rest of the system sees it: the nine functions of the engine library,
// behind one interface so that tests can put a fake that records calls in its place.
//
// Results are passed through unexamined by the callers, except that a zero from XL_QueryTaskInfoEx
// means "skip this task". The real binding (engine_binding.h) loads p2p.so from the run directory at
// the first call of any function.
#include <cstdint>

namespace morvalin {

using TaskHandle = std::uint32_t;

class DownloadEngine {
 public:
  virtual ~DownloadEngine() = default;

  virtual std::int32_t XL_Init() = 0;
  virtual std::int32_t XL_UnInit() = 0;
  virtual TaskHandle XL_CreateTask(const void* task_param_block) = 0;
  virtual std::int32_t XL_StartTask(TaskHandle handle) = 0;
  virtual std::int32_t XL_StopTask(TaskHandle handle) = 0;
  virtual std::int32_t XL_DeleteTask(TaskHandle handle) = 0;
  virtual std::int32_t XL_DelTempFile(const void* task_param_image) = 0;
  virtual std::int32_t XL_QueryTaskInfoEx(TaskHandle handle, void* task_info_block) = 0;
  virtual std::int32_t XL_SetSpeedLimit(std::int32_t kilobytes_per_second) = 0;
};

}  // namespace morvalin
