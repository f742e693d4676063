#pragma once
// The engine thread: it owns the aria2 session for its whole life (aria2 may only be called from this
// thread), applies the commands queued in the task table in order, keeps aria2 running while anything
// downloads, and publishes each download's state.
//
// While a download is active it calls aria2's run(RUN_ONCE) back to back (each call returns after one
// event poll); with nothing active it does not call run at all, which would block for about a second,
// and waits on the task table instead, so a queued command is applied at once.
#include <aria2/aria2.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "p2p/task_table.h"

namespace morvalin::p2p {

class Aria2Driver {
 public:
  // `on_session` is called on the engine thread once the aria2 session exists.
  Aria2Driver(TaskTable& table, std::function<void()> on_session);
  Aria2Driver(const Aria2Driver&) = delete;
  Aria2Driver& operator=(const Aria2Driver&) = delete;

  // Runs until the table asks to stop, then lets aria2 save its control files and ends the session.
  void Run();

 private:
  struct Download {
    TaskParams params;
    std::string safe_name;
    bool wants_running = false;  // the last of start and stop that was applied
    bool has_gid = false;
    aria2::A2Gid gid = 0;
    std::string path;  // comparable form of the file it writes
    DownloadState state = DownloadState::kNoDownload;
    std::int64_t written_back = 0;  // bytes completed when writeback was last started
    bool settled = false;  // finished, failed or removed, and published as such
  };
  // Temporary files to remove once the downloads that wrote them have stopped.
  struct PendingDelete {
    std::string path;
    std::string comparable;
    std::vector<aria2::A2Gid> writers;
  };

  void Apply(Command& command);
  void ApplyStart(std::uint32_t handle);
  void ApplyDelTempFile(const TaskParams& params);
  bool AddDownload(Download& download, bool paused);
  void Unpause(aria2::A2Gid gid);
  DownloadState StateOf(aria2::A2Gid gid) const;
  void Refresh();
  void ApplySpeedLimit();
  void ProcessDeletes(bool session_ended);
  void Finish();

  TaskTable& table_;
  std::function<void()> on_session_;
  aria2::Session* session_ = nullptr;
  std::map<std::uint32_t, Download> downloads_;
  std::vector<PendingDelete> deletes_;
  bool busy_ = false;
  std::int64_t speed_limit_ = 0;  // bytes per second, 0 for none
  std::int64_t applied_limit_ = 0;
  bool was_active_ = false;
  std::chrono::steady_clock::time_point last_active_{};
  std::chrono::steady_clock::time_point boost_until_{};
  bool event_seen_ = false;  // set by aria2's event callback, during run()
};

}  // namespace morvalin::p2p
