#pragma once
// The batch window: the user pastes play-page addresses into 编辑框1, one per line, and presses 按钮1.
// The button disables the box and itself, holds the engine's speed limit at 400 KB/s and starts
// ResolveWorker on a thread of its own; the worker reports in 标签1 and, at the end, hides the window,
// clears it, enables it again and puts the speed limit back to the main window's value.
//
// Closing the window only hides it; a running batch goes on. Destroying the window while a batch runs
// abandons the worker: it stops at its next step and never calls into the destroyed window.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "resolve/site_table.h"

class QCheckBox;
class QCloseEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QString;

namespace morvalin {

class BatchHost;
class UiBridge;

class BatchWindow : public QWidget {
 public:
  // `host` must outlive the window. `sites` is the site table the worker resolves with.
  explicit BatchWindow(BatchHost& host, SiteTable sites = DefaultSiteTable(), QWidget* parent = nullptr);
  ~BatchWindow() override;

  QPlainTextEdit* const 编辑框1;
  QLabel* const 标签1;
  QPushButton* const 按钮1;
  QCheckBox* const 选择框1;

  // The worker's steps; UI thread only.
  // 编辑框1's text in code page 936 with CR LF line breaks.
  std::string BatchText() const;
  // Sets 标签1 (code page 936) and tells the status observer.
  void SetStatusText(const std::string& text);
  // Hides the window, empties 编辑框1 and 标签1 and enables 编辑框1 and 按钮1.
  void EndBatch();
  BatchHost& Host() { return host_; }

  // Called with every text 标签1 is set to by a batch, in order (for whoever watches progress).
  void SetStatusObserver(std::function<void(const QString&)> observer);
  // True while a worker started by this window has not ended yet.
  bool BatchRunning() const;
  // The latest batch; it expires when its worker has ended, even after the window is gone.
  std::weak_ptr<const void> CurrentBatch() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void StartBatch();
  void SetOnTop(bool on_top);

  BatchHost& host_;
  const SiteTable sites_;
  std::function<void(const QString&)> status_observer_;
  // One bridge per batch started; a worker holds its bridge until it ends.
  std::vector<std::weak_ptr<UiBridge>> bridges_;
};

}  // namespace morvalin
