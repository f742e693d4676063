#include "p2p/task_table.h"

#include <utility>

#include "engine/record_layout.h"
#include "p2p/file_names.h"

namespace morvalin::p2p {
namespace {

std::atomic<std::uint32_t> next_handle{0};

std::uint32_t NewHandle() {
  std::uint32_t handle = 0;
  while (handle == 0) handle = ++next_handle;
  return handle;
}

}  // namespace

std::uint32_t TaskTable::Create(TaskParams params) {
  Task task;
  task.requested_name = SafeFileName(params.file_name);
  const std::uint32_t handle = NewHandle();
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.emplace(handle, std::move(task));
  Command command;
  command.kind = Command::Kind::kAdd;
  command.handle = handle;
  command.params = std::move(params);
  Queue(std::move(command));
  return handle;
}

bool TaskTable::Start(std::uint32_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = tasks_.find(handle);
  if (it == tasks_.end() || it->second.wish == Wish::kDeleted) return false;
  Task& task = it->second;
  const DownloadState state = task.snapshot.state;
  if (state == DownloadState::kError || state == DownloadState::kRemoved) task.retry_pending = true;
  task.wish = Wish::kRunning;
  Queue({Command::Kind::kStart, handle, {}, 0});
  return true;
}

bool TaskTable::Stop(std::uint32_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = tasks_.find(handle);
  if (it == tasks_.end() || it->second.wish == Wish::kDeleted) return false;
  it->second.wish = Wish::kPaused;
  Queue({Command::Kind::kStop, handle, {}, 0});
  return true;
}

bool TaskTable::Delete(std::uint32_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = tasks_.find(handle);
  if (it == tasks_.end() || it->second.wish == Wish::kDeleted) return false;
  it->second.wish = Wish::kDeleted;
  it->second.retry_pending = false;
  Queue({Command::Kind::kDelete, handle, {}, 0});
  return true;
}

bool TaskTable::DelTempFile(TaskParams params) {
  if (SafeFileName(params.file_name).empty()) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  Command command;
  command.kind = Command::Kind::kDelTempFile;
  command.params = std::move(params);
  Queue(std::move(command));
  return true;
}

void TaskTable::SetSpeedLimit(std::int64_t bytes_per_second) {
  std::lock_guard<std::mutex> lock(mutex_);
  Queue({Command::Kind::kSpeedLimit, 0, {}, bytes_per_second > 0 ? bytes_per_second : 0});
}

std::int32_t TaskTable::StatOf(const Task& task) {
  if (task.wish == Wish::kDeleted || task.add_failed) return layout::kStatFailed;
  if (!task.retry_pending) {
    switch (task.snapshot.state) {
      case DownloadState::kComplete:
        return layout::kStatFinished;
      case DownloadState::kError:
      case DownloadState::kRemoved:
        return layout::kStatFailed;
      default:
        break;
    }
  }
  // Active, waiting or paused in aria2 (or about to be made again after a failure): what the caller
  // last asked for is what it sees, also while aria2 is still carrying out a pause or a start.
  return task.wish == Wish::kRunning ? layout::kStatDownloading : layout::kStatPaused;
}

bool TaskTable::Query(std::uint32_t handle, TaskInfo* info) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = tasks_.find(handle);
  if (it == tasks_.end()) return false;
  const Task& task = it->second;
  const Snapshot& s = task.snapshot;
  *info = TaskInfo{};
  info->stat = StatOf(task);
  info->fail_code = info->stat == layout::kStatFailed ? s.error_code : 0;
  info->file_name = s.file_name.empty() ? task.requested_name : s.file_name;
  info->total_size = s.total_size;
  info->downloaded = s.completed;
  if (s.state == DownloadState::kComplete) {
    info->percent = 1.0f;
  } else if (s.total_size > 0) {
    info->percent = static_cast<float>(static_cast<double>(s.completed) / static_cast<double>(s.total_size));
  }
  if (info->stat == layout::kStatDownloading) {
    info->speed = s.speed;
    info->sources_total = 1;
    info->sources_using = s.connections;
  }
  return true;
}

void TaskTable::Queue(Command command) {
  commands_.push_back(std::move(command));
  pending_.store(true, std::memory_order_release);
  wake_.notify_one();
}

std::vector<Command> TaskTable::TakeCommands(std::chrono::milliseconds idle_wait, bool busy, bool* stopping) {
  std::vector<Command> taken;
  // While downloads run this is called after every event poll: skip the lock when nothing is queued.
  if (busy && !pending_.load(std::memory_order_acquire)) {
    *stopping = false;
    return taken;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!busy && commands_.empty() && !stopping_) {
    wake_.wait_for(lock, idle_wait, [this] { return !commands_.empty() || stopping_; });
  }
  taken.swap(commands_);
  pending_.store(false, std::memory_order_relaxed);
  *stopping = stopping_;
  return taken;
}

void TaskTable::RequestStop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  pending_.store(true, std::memory_order_release);
  wake_.notify_one();
}

void TaskTable::Publish(std::uint32_t handle, const Snapshot& snapshot) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = tasks_.find(handle);
  if (it != tasks_.end()) it->second.snapshot = snapshot;
}

void TaskTable::MarkAddFailed(std::uint32_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = tasks_.find(handle);
  if (it == tasks_.end()) return;
  it->second.add_failed = true;
  it->second.retry_pending = false;
}

void TaskTable::StartApplied(std::uint32_t handle, bool made_new_download) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = tasks_.find(handle);
  if (it == tasks_.end()) return;
  it->second.retry_pending = false;
  if (made_new_download) it->second.snapshot.state = DownloadState::kNoDownload;
}

}  // namespace morvalin::p2p
