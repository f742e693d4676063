#pragma once
// The task table that the exported functions and the engine thread share.
//
// Callers (any thread) create tasks, change what they want of a task (running, paused, deleted) and
// queue the matching command; they never wait for the engine. The engine thread takes the queued
// commands in order, applies them to aria2 and publishes what it sees of each download. A query
// answers at once from the task's wish and the latest published snapshot, so a start, stop or delete
// shows in the very next query, before aria2 has acted on it.
//
// Handles are non-zero 32-bit numbers from one counter for the whole process, never reused in a run.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "p2p/record_io.h"

namespace morvalin::p2p {

// aria2's download states as published; kNoDownload while the download does not exist yet.
enum class DownloadState { kNoDownload, kActive, kWaiting, kPaused, kComplete, kError, kRemoved };

// What the engine thread last saw of a task's download.
struct Snapshot {
  DownloadState state = DownloadState::kNoDownload;
  std::int32_t error_code = 0;
  std::int64_t total_size = 0;
  std::int64_t completed = 0;
  std::int32_t speed = 0;
  std::int32_t connections = 0;
  std::string file_name;  // the name actually written (UTF-8); empty until known
};

struct Command {
  enum class Kind { kAdd, kStart, kStop, kDelete, kDelTempFile, kSpeedLimit };
  Kind kind = Kind::kAdd;
  std::uint32_t handle = 0;
  TaskParams params;        // kAdd: the task; kDelTempFile: the file name and directory
  std::int64_t value = 0;   // kSpeedLimit: bytes per second, 0 for none
};

class TaskTable {
 public:
  // Caller side; every function is thread-safe and returns at once.
  std::uint32_t Create(TaskParams params);
  bool Start(std::uint32_t handle);
  bool Stop(std::uint32_t handle);
  bool Delete(std::uint32_t handle);
  bool DelTempFile(TaskParams params);
  void SetSpeedLimit(std::int64_t bytes_per_second);
  // False for a handle this table never created.
  bool Query(std::uint32_t handle, TaskInfo* info) const;

  // Engine thread side.
  // Returns the queued commands in order. When `busy` is false and nothing is queued, waits up to
  // `idle_wait` for a command first. `*stopping` tells whether the engine is to shut down.
  std::vector<Command> TakeCommands(std::chrono::milliseconds idle_wait, bool busy, bool* stopping);
  void RequestStop();
  void Publish(std::uint32_t handle, const Snapshot& snapshot);
  // The download could not be made (bad URL, no session): the task has failed for good.
  void MarkAddFailed(std::uint32_t handle);
  // A start has been carried out; after a failure it made a fresh download.
  void StartApplied(std::uint32_t handle, bool made_new_download);

 private:
  enum class Wish { kPaused, kRunning, kDeleted };
  struct Task {
    Wish wish = Wish::kPaused;
    bool add_failed = false;
    bool retry_pending = false;
    std::string requested_name;  // the safe name asked for, shown until aria2 reports one
    Snapshot snapshot;
  };

  static std::int32_t StatOf(const Task& task);
  void Queue(Command command);  // mutex_ held

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::map<std::uint32_t, Task> tasks_;
  std::vector<Command> commands_;
  bool stopping_ = false;
  std::atomic<bool> pending_{false};
};

}  // namespace morvalin::p2p
