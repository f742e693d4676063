#pragma once
// The real engine: the nine functions of the engine library p2p.so, loaded with dlopen at the first
// call of any of them (RTLD_NOW | RTLD_LOCAL, so the library's own dependencies stay out of the
// program's symbol space).
//
// The first call loads the library and resolves all nine functions, once, however many threads make
// it at the same time. When the library or one of its functions cannot be found, the reporter is given
// a message that names it, and the program ends with exit code 1: the system cannot work without its
// engine. The default reporter writes the message to stderr; the program sets one that shows a message
// box. Messages are UTF-8.
//
// A null record is never passed to the library: XL_CreateTask, XL_DelTempFile and XL_QueryTaskInfoEx
// return 0 for one without calling it.
//
// The destructor stops a running engine (XL_UnInit, when calls came after the last one) and unloads
// the library. All functions may be called from any thread.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "engine/download_engine.h"
#include "p2p/p2p.h"

namespace morvalin {

class DlopenEngine : public DownloadEngine {
 public:
  using Reporter = std::function<void(const std::string& message)>;

  // RunDirectory() + "/p2p.so".
  static std::string DefaultLibraryPath();

  explicit DlopenEngine(std::string library_path = DefaultLibraryPath(), Reporter reporter = {});
  ~DlopenEngine() override;
  DlopenEngine(const DlopenEngine&) = delete;
  DlopenEngine& operator=(const DlopenEngine&) = delete;

  // Replaces the reporter; takes effect for a load that has not happened yet.
  void SetReporter(Reporter reporter);

  std::int32_t XL_Init() override;
  std::int32_t XL_UnInit() override;
  TaskHandle XL_CreateTask(const void* task_param_block) override;
  std::int32_t XL_StartTask(TaskHandle handle) override;
  std::int32_t XL_StopTask(TaskHandle handle) override;
  std::int32_t XL_DeleteTask(TaskHandle handle) override;
  std::int32_t XL_DelTempFile(const void* task_param_image) override;
  std::int32_t XL_QueryTaskInfoEx(TaskHandle handle, void* task_info_block) override;
  std::int32_t XL_SetSpeedLimit(std::int32_t kilobytes_per_second) override;

 private:
  struct Functions {
    XL_InitFn init = nullptr;
    XL_UnInitFn uninit = nullptr;
    XL_CreateTaskFn create_task = nullptr;
    XL_StartTaskFn start_task = nullptr;
    XL_StopTaskFn stop_task = nullptr;
    XL_DeleteTaskFn delete_task = nullptr;
    XL_DelTempFileFn del_temp_file = nullptr;
    XL_QueryTaskInfoExFn query_task_info = nullptr;
    XL_SetSpeedLimitFn set_speed_limit = nullptr;
  };

  // Loads the library on the first call; ends the program when it cannot. Returns the functions.
  const Functions& Loaded();
  void Load();
  [[noreturn]] void Fail(const std::string& message);

  const std::string library_path_;
  std::mutex reporter_mutex_;
  Reporter reporter_;
  std::once_flag load_once_;
  void* library_ = nullptr;
  Functions functions_;
  // True while calls have come since the last XL_UnInit, so the engine may still run.
  std::atomic<bool> may_run_{false};
};

}  // namespace morvalin
