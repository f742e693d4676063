#include "p2p/aria2_driver.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "p2p/aria2_options.h"
#include "p2p/file_names.h"

namespace morvalin::p2p {
namespace {

using Clock = std::chrono::steady_clock;

// How often the downloads' states are read back from aria2 while it runs.
constexpr auto kRefreshInterval = std::chrono::milliseconds(100);
// With nothing to download, how long to wait for a command before looking again.
constexpr auto kIdleWait = std::chrono::milliseconds(1000);
// How long a graceful shutdown may take before it is forced.
constexpr auto kShutdownGrace = std::chrono::seconds(5);

DownloadState FromAria2(aria2::DownloadStatus status) {
  switch (status) {
    case aria2::DOWNLOAD_ACTIVE: return DownloadState::kActive;
    case aria2::DOWNLOAD_WAITING: return DownloadState::kWaiting;
    case aria2::DOWNLOAD_PAUSED: return DownloadState::kPaused;
    case aria2::DOWNLOAD_COMPLETE: return DownloadState::kComplete;
    case aria2::DOWNLOAD_ERROR: return DownloadState::kError;
    case aria2::DOWNLOAD_REMOVED: return DownloadState::kRemoved;
  }
  return DownloadState::kNoDownload;
}

bool Writes(DownloadState state) { return state == DownloadState::kActive || state == DownloadState::kWaiting; }

bool Settled(DownloadState state) {
  return state == DownloadState::kComplete || state == DownloadState::kError || state == DownloadState::kRemoved;
}

// aria2 flushes a file to disk when it finishes it. Handing the written part to the kernel's writeback
// every so often lets the disk work while the download runs, so that flush is short.
constexpr std::int64_t kWriteBackStep = 32 << 20;

void StartWriteBack(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  ::close(fd);
}

// Under a limit, aria2 judges its speed over the last ten seconds of traffic; with none to go by (after
// ten idle seconds) its first reading looks enormous and it reads almost nothing for its first second.
// For the first ten seconds after such a start the limit it gets is a tenth higher, which makes up that
// second, so that the ten seconds after a start still average the user's limit.
constexpr auto kStartStallWindow = std::chrono::seconds(10);
constexpr std::int64_t kStartBoostDivisor = 10;

// A write to a socket the server has closed must give an error, not end the host process.
void BlockSigpipe() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

std::once_flag library_init;

}  // namespace

Aria2Driver::Aria2Driver(TaskTable& table, std::function<void()> on_session)
    : table_(table), on_session_(std::move(on_session)) {}

void Aria2Driver::Run() {
  pthread_setname_np(pthread_self(), "p2p-engine");
  BlockSigpipe();
  std::call_once(library_init, [] { aria2::libraryInit(); });
  aria2::SessionConfig config;
  config.keepRunning = true;
  config.useSignalHandler = false;
  // A download that starts, pauses, ends or fails is published at once, not at the next refresh.
  config.downloadEventCallback = [](aria2::Session*, aria2::DownloadEvent, aria2::A2Gid, void* self) {
    static_cast<Aria2Driver*>(self)->event_seen_ = true;
    return 0;
  };
  config.userData = this;
  session_ = aria2::sessionNew(SessionOptions(), config);
  if (session_ && on_session_) on_session_();

  auto last_refresh = Clock::now();
  for (;;) {
    bool stopping = false;
    // Nothing thrown here may end the thread: the engine would stop answering.
    try {
      std::vector<Command> commands = table_.TakeCommands(kIdleWait, busy_, &stopping);
      for (Command& command : commands) Apply(command);
      if (stopping) break;
      const auto now = Clock::now();
      if (!commands.empty() || event_seen_ || now - last_refresh >= kRefreshInterval) {
        event_seen_ = false;
        Refresh();
        ProcessDeletes(false);
        last_refresh = now;
      }
      if (busy_ && aria2::run(session_, aria2::RUN_ONCE) < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    } catch (...) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  try {
    Finish();
  } catch (...) {
  }
}

void Aria2Driver::Finish() {
  if (session_) {
    aria2::shutdown(session_, false);
    const auto deadline = Clock::now() + kShutdownGrace;
    bool forced = false;
    while (aria2::run(session_, aria2::RUN_ONCE) == 1) {
      if (!forced && Clock::now() > deadline) {
        aria2::shutdown(session_, true);
        forced = true;
      }
    }
    aria2::sessionFinal(session_);
    session_ = nullptr;
  }
  ProcessDeletes(true);
}

void Aria2Driver::Apply(Command& command) {
  switch (command.kind) {
    case Command::Kind::kAdd: {
      Download& download = downloads_[command.handle];
      download.params = std::move(command.params);
      download.safe_name = SafeFileName(download.params.file_name);
      if (!download.safe_name.empty()) {
        download.path = ComparablePath(JoinPath(download.params.save_path, download.safe_name));
      }
      if (!AddDownload(download, true)) table_.MarkAddFailed(command.handle);
      break;
    }
    case Command::Kind::kStart:
      ApplyStart(command.handle);
      break;
    case Command::Kind::kStop: {
      auto it = downloads_.find(command.handle);
      if (it == downloads_.end()) break;
      it->second.wants_running = false;
      if (it->second.has_gid && Writes(StateOf(it->second.gid))) aria2::pauseDownload(session_, it->second.gid);
      break;
    }
    case Command::Kind::kDelete: {
      auto it = downloads_.find(command.handle);
      if (it == downloads_.end()) break;
      it->second.wants_running = false;
      if (!it->second.has_gid) break;
      const DownloadState state = StateOf(it->second.gid);
      if (state != DownloadState::kNoDownload && !Settled(state)) {
        aria2::removeDownload(session_, it->second.gid, true);
      }
      break;
    }
    case Command::Kind::kDelTempFile:
      ApplyDelTempFile(command.params);
      break;
    case Command::Kind::kSpeedLimit:
      speed_limit_ = command.value;
      ApplySpeedLimit();
      break;
  }
}

void Aria2Driver::ApplyStart(std::uint32_t handle) {
  auto it = downloads_.find(handle);
  if (it == downloads_.end() || !it->second.has_gid) {
    table_.StartApplied(handle, false);
    return;
  }
  Download& download = it->second;
  download.wants_running = true;
  const DownloadState state = StateOf(download.gid);
  bool made_new = false;
  if (state == DownloadState::kPaused || state == DownloadState::kWaiting) {
    Unpause(download.gid);
  } else if (state == DownloadState::kActive) {
    // A pause may still be under way; Refresh unpauses the download once it has paused.
  } else if (state == DownloadState::kError || state == DownloadState::kRemoved ||
             state == DownloadState::kNoDownload) {
    // A start after a failure tries again, resuming from what is on disk.
    made_new = true;
    if (!AddDownload(download, false)) table_.MarkAddFailed(handle);
  }
  table_.StartApplied(handle, made_new);
}

bool Aria2Driver::AddDownload(Download& download, bool paused) {
  download.has_gid = false;
  download.state = DownloadState::kNoDownload;
  download.settled = false;
  if (!session_ || !IsSupportedUrl(download.params.url)) return false;
  aria2::A2Gid gid = 0;
  if (aria2::addUri(session_, &gid, {download.params.url}, DownloadOptions(download.params, download.safe_name)) != 0) {
    return false;
  }
  // aria2 accepts some addresses it cannot parse without making a download of them.
  if (StateOf(gid) == DownloadState::kNoDownload) return false;
  download.gid = gid;
  download.has_gid = true;
  // A new download waits in aria2's queue and would start at the next run(); aria2 here ignores the
  // "pause" option of addUri, but pausing a waiting download takes effect at once.
  if (paused) {
    aria2::pauseDownload(session_, gid);
    download.state = DownloadState::kPaused;
  } else {
    Unpause(gid);
    download.state = DownloadState::kWaiting;
  }
  return true;
}

void Aria2Driver::Unpause(aria2::A2Gid gid) {
  aria2::unpauseDownload(session_, gid);  // a paused download now waits; a waiting one stays so
  busy_ = true;
  // With nothing else downloading, aria2's next run() would sleep a whole second in its event poll
  // before it looks at its queue. A pause makes aria2 skip that sleep, and pausing a waiting download
  // takes effect at once, so pausing and unpausing it again starts it without the delay.
  if (aria2::pauseDownload(session_, gid) == 0) aria2::unpauseDownload(session_, gid);
}

DownloadState Aria2Driver::StateOf(aria2::A2Gid gid) const {
  if (!session_) return DownloadState::kNoDownload;
  aria2::DownloadHandle* handle = aria2::getDownloadHandle(session_, gid);
  if (!handle) return DownloadState::kNoDownload;
  const DownloadState state = FromAria2(handle->getStatus());
  aria2::deleteDownloadHandle(handle);
  return state;
}

void Aria2Driver::Refresh() {
  bool busy = false;
  bool active = false;
  for (auto& [task, download] : downloads_) {
    if (!download.has_gid || download.settled || !session_) continue;
    aria2::DownloadHandle* handle = aria2::getDownloadHandle(session_, download.gid);
    if (!handle) {
      // aria2 keeps no record of it any more; only a download that had not ended is reported failed.
      download.settled = true;
      if (!Settled(download.state)) {
        Snapshot gone;
        gone.state = DownloadState::kRemoved;
        table_.Publish(task, gone);
      }
      continue;
    }
    Snapshot snapshot;
    snapshot.state = FromAria2(handle->getStatus());
    snapshot.error_code = handle->getErrorCode();
    snapshot.total_size = handle->getTotalLength();
    snapshot.completed = handle->getCompletedLength();
    snapshot.speed = handle->getDownloadSpeed();
    snapshot.connections = handle->getConnections();
    if (handle->getNumFiles() > 0) {
      const std::string path = handle->getFile(1).path;
      if (!path.empty()) {
        snapshot.file_name = std::filesystem::path(path).filename().string();
        download.path = ComparablePath(path);
      }
    }
    aria2::deleteDownloadHandle(handle);

    if (snapshot.state == DownloadState::kActive &&
        snapshot.completed - download.written_back >= kWriteBackStep) {
      StartWriteBack(download.path);
      download.written_back = snapshot.completed;
    }
    if (snapshot.state == DownloadState::kPaused && download.wants_running) {
      // A start came while aria2 was still pausing: carry it out now.
      Unpause(download.gid);
      snapshot.state = DownloadState::kWaiting;
    }
    download.state = snapshot.state;
    download.settled = Settled(snapshot.state);
    busy = busy || Writes(snapshot.state);
    active = active || snapshot.state == DownloadState::kActive;
    table_.Publish(task, snapshot);
  }
  busy_ = busy;

  const auto now = Clock::now();
  if (active) {
    if (!was_active_ && now - last_active_ >= kStartStallWindow) boost_until_ = now + kStartStallWindow;
    last_active_ = now;
  }
  was_active_ = active;
  ApplySpeedLimit();
}

void Aria2Driver::ApplySpeedLimit() {
  std::int64_t limit = speed_limit_;
  if (limit > 0 && Clock::now() < boost_until_) limit += limit / kStartBoostDivisor;
  if (limit == applied_limit_ || !session_) return;
  aria2::changeGlobalOption(session_, {{"max-overall-download-limit", std::to_string(limit)}});
  applied_limit_ = limit;
}

void Aria2Driver::ApplyDelTempFile(const TaskParams& params) {
  PendingDelete pending;
  pending.path = JoinPath(params.save_path, SafeFileName(params.file_name));
  pending.comparable = ComparablePath(pending.path);
  for (const auto& [task, download] : downloads_) {
    if (download.has_gid && download.path == pending.comparable && Writes(StateOf(download.gid))) {
      pending.writers.push_back(download.gid);
    }
  }
  deletes_.push_back(std::move(pending));
  ProcessDeletes(false);
}

void Aria2Driver::ProcessDeletes(bool session_ended) {
  for (auto it = deletes_.begin(); it != deletes_.end();) {
    if (!session_ended) {
      bool waiting = false;
      for (aria2::A2Gid gid : it->writers) waiting = waiting || Writes(StateOf(gid));
      if (waiting) {
        ++it;
        continue;
      }
      // A download started since then on the same file owns it now: leave its files alone.
      bool taken_over = false;
      for (const auto& [task, download] : downloads_) {
        taken_over = taken_over || (download.has_gid && download.path == it->comparable &&
                                    Writes(StateOf(download.gid)));
      }
      if (taken_over) {
        it = deletes_.erase(it);
        continue;
      }
    }
    DeleteTempFiles(it->path);
    it = deletes_.erase(it);
  }
}

}  // namespace morvalin::p2p
