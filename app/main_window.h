#pragma once
// The main window: the settings panel across the top, the button that shows the batch window, the
// three tabs (running downloads, finished downloads, site notes), the notice and link lines, the
// status bar, the poll timer 时钟1, the store's record sets and the two popup menus.
//
// It is the task table's window (TaskWindow): the logic of polling, commands, restore and settings
// lives in TaskTable; the window only shows and forwards. Everything runs on the UI thread.
//
// Start-up and shut-down: OnMainWindowCreated runs once after construction, before the window takes
// input; closing the window runs OnMainWindowDestroying once, which ends the event loop with 0.
#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/tree_list_view.h"
#include "store/task_store.h"
#include "tasks/flv_conversion.h"
#include "tasks/task_table.h"

class QAction;
class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;
class QTreeWidget;

namespace morvalin {

struct GlobalObjects;

class MainWindow : public QWidget, public TaskWindow {
 public:
  // `run_directory` holds the converter file and data/Data.mdb (RunDirectory() in the program).
  MainWindow(GlobalObjects& globals, DownloadEngine& engine, std::string run_directory,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up, in order: the batch window (hidden), the converter file, the store and the restore when
  // the store file exists, XL_Init.
  void OnMainWindowCreated();
  // Shut-down, once: XL_UnInit, the converter file deleted, the event loop ended with 0.
  void OnMainWindowDestroying();

  // Handlers.
  void BrowseDownloadDirectory();
  void ShowTaskMenu();
  void ShowFinishedMenu();

  // The folder browser; tests replace it. Returns the chosen folder (native path) or "" when cancelled.
  void SetDirectoryChooser(std::function<QString()> chooser) { choose_directory_ = std::move(chooser); }

  TaskTable& Tasks() { return table_; }
  TaskStore& Store() { return store_; }
  // The batch window (hidden until 按钮1 shows it); null when the program is built without it.
  QWidget* Batch() { return batch_window_.get(); }
  std::string ConverterFile() const { return run_directory_ + "/zaruzuv3.exe"; }
  std::string StoreFile() const { return run_directory_ + "/data/Data.mdb"; }

  // TaskWindow
  TaskListView& DownloadList() override { return download_view_; }
  TaskListView& FinishedList() override { return finished_view_; }
  int TimerPeriod() const override;
  void SetTimerPeriod(int milliseconds) override;
  void SetStatusText(std::string_view text) override;
  bool AskYesNo(std::string_view text, std::string_view caption) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void LetPendingEventsRun() override;
  std::string SpeedText() const override;
  void SetSpeedText(std::string_view text) override;
  std::string DirectoryText() const override;
  void SetDirectoryText(std::string_view text) override;
  bool AutoStart() const override;
  void SetAutoStart(bool checked) override;

  // Controls, by the names of the window design.
  QGroupBox* 分组框1;
  QLineEdit* 编辑框_下载速度;
  QCheckBox* 选择框1;
  QLineEdit* 编辑框_储存路径;
  QLabel* 透明标签_浏览;
  QPushButton* 按钮2;
  QPushButton* 按钮1;
  QTabWidget* 高级选择夹1;
  QTreeWidget* 下载列表框;
  QTreeWidget* 完成列表框;
  QGroupBox* 分组框3;
  QLabel* 透明标签10;
  QLabel* 标签1;
  QLabel* 标签2;
  QLabel* 超级链接框2;
  QStatusBar* 状态条1;
  QLabel* status_part_;
  QTimer* 时钟1;
  QMenu* 操作;
  QMenu* 日志;
  QAction* 删除任务;
  QAction* 全部开始;
  QAction* 全部暂停;
  QAction* 清空日志;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildSettingsPanel();
  void BuildTabs();
  void BuildSiteNotes(QWidget* page);
  void BuildLinesAndStatus();
  void BuildMenus();
  void Connect();
  void CreateBatchWindow();

  DownloadEngine& engine_;
  const std::string run_directory_;
  TaskStore store_;  // 数据库连接1 with 记录集1..3
  ProcessFlvConverter converter_;
  TreeListView download_view_;
  TreeListView finished_view_;
  TaskTable table_;
  std::shared_ptr<void> batch_host_;       // what the batch window calls back into
  std::unique_ptr<QWidget> batch_window_;  // destroyed before its host
  std::function<QString()> choose_directory_;
  bool shut_down_ = false;
  static constexpr qint64 kYieldIntervalMs = 5;
  QElapsedTimer yield_clock_;  // when the poll last let events run
};

// Tells the user that the engine library or one of its functions is missing (a message box that waits
// for OK); the engine binding then ends the program. `message` is UTF-8.
void ReportEngineMissing(const std::string& message);

// The download directory the settings panel shows before any setting is restored: the user's home
// followed by "/DJ舞曲/" (UTF-8).
std::string DefaultDownloadDirectory();

}  // namespace morvalin
