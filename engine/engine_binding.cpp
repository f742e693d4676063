#include "engine/engine_binding.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/run_directory.h"

namespace morvalin {
namespace {

template <typename Fn>
bool Resolve(void* library, const char* name, Fn& target) {
  target = reinterpret_cast<Fn>(dlsym(library, name));
  return target != nullptr;
}

}  // namespace

std::string DlopenEngine::DefaultLibraryPath() { return RunDirectory() + "/p2p.so"; }

DlopenEngine::DlopenEngine(std::string library_path, Reporter reporter)
    : library_path_(std::move(library_path)), reporter_(std::move(reporter)) {}

DlopenEngine::~DlopenEngine() {
  if (!library_) return;
  // Code of a library must not be unmapped under its own running thread.
  if (may_run_.load() && functions_.uninit) functions_.uninit();
  dlclose(library_);
}

void DlopenEngine::SetReporter(Reporter reporter) {
  std::lock_guard lock(reporter_mutex_);
  reporter_ = std::move(reporter);
}

void DlopenEngine::Fail(const std::string& message) {
  Reporter reporter;
  {
    std::lock_guard lock(reporter_mutex_);
    reporter = reporter_;
  }
  if (reporter) {
    reporter(message);
  } else {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
  }
  std::exit(1);
}

void DlopenEngine::Load() {
  library_ = dlopen(library_path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) {
    const char* why = dlerror();
    Fail("The download engine library " + library_path_ + " cannot be loaded" +
         (why ? std::string(": ") + why : std::string()));
  }
  Functions f;
  const std::pair<const char*, bool> resolved[] = {
      {"XL_Init", Resolve(library_, "XL_Init", f.init)},
      {"XL_UnInit", Resolve(library_, "XL_UnInit", f.uninit)},
      {"XL_CreateTask", Resolve(library_, "XL_CreateTask", f.create_task)},
      {"XL_StartTask", Resolve(library_, "XL_StartTask", f.start_task)},
      {"XL_StopTask", Resolve(library_, "XL_StopTask", f.stop_task)},
      {"XL_DeleteTask", Resolve(library_, "XL_DeleteTask", f.delete_task)},
      {"XL_DelTempFile", Resolve(library_, "XL_DelTempFile", f.del_temp_file)},
      {"XL_QueryTaskInfoEx", Resolve(library_, "XL_QueryTaskInfoEx", f.query_task_info)},
      {"XL_SetSpeedLimit", Resolve(library_, "XL_SetSpeedLimit", f.set_speed_limit)},
  };
  for (const auto& [name, found] : resolved) {
    if (!found) Fail("The download engine library " + library_path_ + " lacks the function " + name);
  }
  functions_ = f;
}

const DlopenEngine::Functions& DlopenEngine::Loaded() {
  std::call_once(load_once_, [this] { Load(); });
  return functions_;
}

std::int32_t DlopenEngine::XL_Init() {
  const Functions& f = Loaded();
  may_run_ = true;
  return f.init();
}

std::int32_t DlopenEngine::XL_UnInit() {
  const Functions& f = Loaded();
  const std::int32_t result = f.uninit();
  may_run_ = false;
  return result;
}

TaskHandle DlopenEngine::XL_CreateTask(const void* block) {
  const Functions& f = Loaded();
  if (!block) return 0;
  may_run_ = true;
  return f.create_task(block);
}

std::int32_t DlopenEngine::XL_StartTask(TaskHandle handle) {
  const Functions& f = Loaded();
  may_run_ = true;
  return f.start_task(handle);
}

std::int32_t DlopenEngine::XL_StopTask(TaskHandle handle) {
  const Functions& f = Loaded();
  may_run_ = true;
  return f.stop_task(handle);
}

std::int32_t DlopenEngine::XL_DeleteTask(TaskHandle handle) {
  const Functions& f = Loaded();
  may_run_ = true;
  return f.delete_task(handle);
}

std::int32_t DlopenEngine::XL_DelTempFile(const void* image) {
  const Functions& f = Loaded();
  if (!image) return 0;
  may_run_ = true;
  return f.del_temp_file(image);
}

std::int32_t DlopenEngine::XL_QueryTaskInfoEx(TaskHandle handle, void* block) {
  const Functions& f = Loaded();
  if (!block) return 0;
  may_run_ = true;
  return f.query_task_info(handle, block);
}

std::int32_t DlopenEngine::XL_SetSpeedLimit(std::int32_t kilobytes_per_second) {
  const Functions& f = Loaded();
  may_run_ = true;
  return f.set_speed_limit(kilobytes_per_second);
}

}  // namespace morvalin
