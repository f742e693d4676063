#include "engine/fake_engine.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/byte_order.h"
#include "engine/task_records.h"
#include "platform/code_page.h"

namespace morvalin::test {
namespace {

std::string_view FieldBytes(const void* block, const layout::Field& field) {
  return std::string_view(static_cast<const char*>(block) + field.offset, field.width);
}

std::string FieldText(const void* block, const layout::Field& field) {
  return Utf16ToAnsi(FieldBytes(block, field), kCodePageGbk);
}

bool FieldFlag(const void* block, const layout::Field& field) {
  return le::LoadUnsigned(FieldBytes(block, field), field.width) != 0;
}

// Writes `bytes` over the field, cut to its width and padded with zeros.
void PutField(void* block, const layout::Field& field, std::string bytes) {
  bytes.resize(field.width, '\0');
  std::memcpy(static_cast<char*>(block) + field.offset, bytes.data(), field.width);
}

}  // namespace

void FakeEngine::Record(std::string call) { calls_.push_back(std::move(call)); }

std::int32_t FakeEngine::XL_Init() {
  std::lock_guard lock(mutex_);
  Record("XL_Init");
  return 1;
}

std::int32_t FakeEngine::XL_UnInit() {
  std::lock_guard lock(mutex_);
  Record("XL_UnInit");
  return 1;
}

TaskHandle FakeEngine::XL_CreateTask(const void* block) {
  std::lock_guard lock(mutex_);
  if (!block) {
    Record("XL_CreateTask null");
    ++null_blocks_;
    return 0;
  }
  Record("XL_CreateTask");
  if (create_fails_) return 0;
  namespace p = layout::param;
  CreatedTask task;
  task.handle = next_handle_++;
  task.szTaskUrl = FieldText(block, p::kSzTaskUrl);
  task.szRefUrl = FieldText(block, p::kSzRefUrl);
  task.szCookies = FieldText(block, p::kSzCookies);
  task.szFilename = FieldText(block, p::kSzFilename);
  task.szSavePath = FieldText(block, p::kSzSavePath);
  task.IsOnlyOriginal = FieldFlag(block, p::kIsOnlyOriginal);
  task.DisableAutoRename = FieldFlag(block, p::kDisableAutoRename);
  task.IsResume = FieldFlag(block, p::kIsResume);
  task.nReserved1 = le::LoadInt32(FieldBytes(block, p::kNReserved1));
  TaskState state;
  state.szFilename = task.szFilename;
  states_[task.handle] = state;
  created_.push_back(task);
  return task.handle;
}

std::int32_t FakeEngine::XL_StartTask(TaskHandle handle) {
  std::lock_guard lock(mutex_);
  Record("XL_StartTask " + std::to_string(handle));
  auto it = states_.find(handle);
  if (it == states_.end() || deleted_.count(handle)) return 0;
  it->second.stat = layout::kStatDownloading;
  return 1;
}

std::int32_t FakeEngine::XL_StopTask(TaskHandle handle) {
  std::lock_guard lock(mutex_);
  Record("XL_StopTask " + std::to_string(handle));
  auto it = states_.find(handle);
  if (it == states_.end() || deleted_.count(handle)) return 0;
  it->second.stat = layout::kStatPaused;
  return 1;
}

std::int32_t FakeEngine::XL_DeleteTask(TaskHandle handle) {
  std::lock_guard lock(mutex_);
  Record("XL_DeleteTask " + std::to_string(handle));
  auto it = states_.find(handle);
  if (it == states_.end()) return 0;
  it->second.stat = layout::kStatFailed;
  deleted_.insert(handle);
  return 1;
}

std::int32_t FakeEngine::XL_DelTempFile(const void* image) {
  std::lock_guard lock(mutex_);
  if (!image) {
    Record("XL_DelTempFile null");
    ++null_blocks_;
    return 0;
  }
  Record("XL_DelTempFile");
  temp_files_.push_back(TempFileRequest{FieldText(image, layout::param::kSzFilename),
                                        FieldText(image, layout::param::kSzSavePath)});
  return 1;
}

std::int32_t FakeEngine::XL_QueryTaskInfoEx(TaskHandle handle, void* block) {
  std::lock_guard lock(mutex_);
  if (!block) {
    Record("XL_QueryTaskInfoEx " + std::to_string(handle) + " null");
    ++null_blocks_;
    return 0;
  }
  Record("XL_QueryTaskInfoEx " + std::to_string(handle));
  auto it = states_.find(handle);
  if (it == states_.end() || failing_queries_.count(handle)) return 0;
  namespace i = layout::info;
  const TaskState& state = it->second;
  PutField(block, i::kStat, le::StoreInt32(state.stat));
  PutField(block, i::kSzFilename, AnsiToUtf16(state.szFilename, kCodePageGbk));
  PutField(block, i::kNTotalSize, le::StoreInt64(state.nTotalSize));
  PutField(block, i::kNTotalDownload, le::StoreInt64(state.nTotalDownload));
  PutField(block, i::kFPercent, le::StoreFloat(state.fPercent));
  PutField(block, i::kNSpeed, le::StoreInt32(state.nSpeed));
  return 1;
}

std::int32_t FakeEngine::XL_SetSpeedLimit(std::int32_t kilobytes_per_second) {
  std::lock_guard lock(mutex_);
  Record("XL_SetSpeedLimit " + std::to_string(kilobytes_per_second));
  speed_limit_ = kilobytes_per_second;
  return 1;
}

std::vector<std::string> FakeEngine::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<std::string> FakeEngine::CallsExceptQueries() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> calls;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(calls),
               [](const std::string& call) { return call.rfind("XL_QueryTaskInfoEx", 0) != 0; });
  return calls;
}

void FakeEngine::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::vector<FakeEngine::CreatedTask> FakeEngine::CreatedTasks() const {
  std::lock_guard lock(mutex_);
  return created_;
}

std::vector<FakeEngine::TempFileRequest> FakeEngine::TempFileRequests() const {
  std::lock_guard lock(mutex_);
  return temp_files_;
}

void FakeEngine::SetTaskState(TaskHandle handle, const TaskState& state) {
  std::lock_guard lock(mutex_);
  states_[handle] = state;
}

FakeEngine::TaskState FakeEngine::GetTaskState(TaskHandle handle) const {
  std::lock_guard lock(mutex_);
  auto it = states_.find(handle);
  return it == states_.end() ? TaskState{} : it->second;
}

void FakeEngine::SetQueryFails(TaskHandle handle, bool fails) {
  std::lock_guard lock(mutex_);
  if (fails) {
    failing_queries_.insert(handle);
  } else {
    failing_queries_.erase(handle);
  }
}

void FakeEngine::SetCreateFails(bool fails) {
  std::lock_guard lock(mutex_);
  create_fails_ = fails;
}

std::int32_t FakeEngine::SpeedLimit() const {
  std::lock_guard lock(mutex_);
  return speed_limit_;
}

int FakeEngine::NullBlocks() const {
  std::lock_guard lock(mutex_);
  return null_blocks_;
}

}  // namespace morvalin::test
