#include "resolve/ui_bridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <thread>

namespace morvalin {

UiBridge::UiBridge(QObject* context) : context_(context) {}

bool UiBridge::Run(const std::function<void()>& step) {
  // Holding the mutex from the check to the end of the call means the context cannot be destroyed
  // between them: Detach waits for the mutex and, meanwhile, delivers (and so releases) the call.
  std::lock_guard lock(post_mutex_);
  if (context_ == nullptr || detached_.load()) return false;
  bool ran = false;
  QMetaObject::invokeMethod(
      context_,
      [this, &step, &ran] {
        // Runs on the UI thread, the thread that sets detached_, so this check cannot race Detach.
        if (detached_.load()) return;
        try {
          step();
          ran = true;
        } catch (...) {
          // A step reports failure by its result; nothing may cross the event loop.
        }
      },
      Qt::BlockingQueuedConnection);
  return ran;
}

void UiBridge::Detach() {
  detached_.store(true);
  // The worker may hold the mutex while it waits for a call queued to this (UI) thread. Deliver the
  // queued calls of the context here: they see detached_ and return at once, which frees the worker.
  while (!post_mutex_.try_lock()) {
    if (context_ != nullptr) QCoreApplication::sendPostedEvents(context_, QEvent::MetaCall);
    std::this_thread::yield();
  }
  context_ = nullptr;
  post_mutex_.unlock();
}

}  // namespace morvalin
