#pragma once
// The one road from a batch worker thread to the UI thread.
//
// Run hands a step to the UI thread as a blocking queued call and waits until it has run there, so the
// worker's steps reach the windows, the task table, the engine records and the store one at a time and
// in the worker's order, while page fetching stays on the worker.
//
// The bridge outlives the window it serves: the worker holds it by shared_ptr. The window calls Detach
// (on the UI thread, before it goes away); from then on no step runs and Run returns false at once, so a
// worker that is still fetching pages when its window is destroyed is abandoned without ever calling
// into the destroyed window.
#include <atomic>
#include <functional>
#include <mutex>

class QObject;

namespace morvalin {

class UiBridge {
 public:
  // `context` lives on the UI thread; steps run in its thread. It must stay alive until Detach.
  explicit UiBridge(QObject* context);
  UiBridge(const UiBridge&) = delete;
  UiBridge& operator=(const UiBridge&) = delete;

  // Worker thread: runs `step` on the UI thread and waits for it. Returns false (the step did not run)
  // once the bridge is detached. Must not be called from the UI thread itself.
  bool Run(const std::function<void()>& step);

  // UI thread: stops every further step. A step the worker is waiting on is dropped, and Detach returns
  // only when the worker no longer waits on `context`.
  void Detach();

  bool Attached() const { return !detached_.load(); }

 private:
  std::mutex post_mutex_;  // held by the worker from posting a step until it has run or been dropped
  QObject* context_;
  std::atomic<bool> detached_{false};
};

}  // namespace morvalin
