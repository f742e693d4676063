#pragma once
// The task table: the system's picture of its downloads, three structures kept in step by position
// plus the finished list.
//
//   TaskHandleList[i]  <->  row i of 下载列表框  <->  record i of 下载记录 (记录集1)
//
// No key links them, only their common order. AppendTask and RemoveTaskAt are the only operations that
// add or remove a task, and they touch all three. The finished list (完成列表框 with the table 完成下载
// behind it) only grows at the end, and is emptied as a whole.
//
// Threads: everything here runs on the UI thread. The batch worker never calls into the table
// directly; each of its steps that touches the table, the engine records or the store is run on the UI
// thread through a blocking queued call. So the table takes no lock and needs none. The poll lets
// pending events run after each row, so commands (and the worker's queued steps) may run in the middle
// of a tick; a tick that arrives while a poll is yielding does not start a nested poll, and only the
// poll removes tasks, so the positions it walks stay valid.
//
// Texts handed in and out (row cells, file names, directories, URLs) are code-page-936 byte strings.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/download_engine.h"

namespace morvalin {

class TaskParamBlock;
class TaskInfoBlock;
class TaskStore;
class RecordSet;

// The ordered engine task handles; position i belongs to row i of the download list.
using TaskHandleList = std::vector<TaskHandle>;

// Indexes into the five 15 x 15 state images shared by both lists.
enum RowIcon : int {
  kIconDownloading = 0,  // green downward arrow
  kIconPaused = 1,       // two pause bars
  kIconClock = 2,        // not used by the task logic
  kIconCross = 3,        // not used by the task logic
  kIconFinished = 4,     // green check mark
};
inline constexpr int kNoIcon = -1;

// Column numbers of the download list (下载列表框).
enum DownloadColumn : int {
  kColName = 0,      // 舞曲名称
  kColSpeed = 1,     // 下载速度
  kColPercent = 2,   // 下载进度
  kColReceived = 3,  // 下载大小
  kColSize = 4,      // 文件大小
  kColSource = 5,    // 舞曲来源
};
// Column numbers of the finished list (完成列表框).
enum FinishedColumn : int {
  kDoneColName = 0,       // 舞曲名称
  kDoneColTime = 1,       // 完成时间
  kDoneColSource = 2,     // 歌曲来源
  kDoneColDirectory = 3,  // 下载目录
};

// One report-style list as the task logic sees it. Rows count from 0; texts are code page 936.
// Reading a cell that does not exist gives "".
class TaskListView {
 public:
  virtual ~TaskListView() = default;
  virtual int RowCount() const = 0;
  // Appends a row with `first_column` in column 0, the other columns empty and no state image;
  // returns its index.
  virtual int AppendRow(std::string_view first_column) = 0;
  virtual void RemoveRow(int row) = 0;
  virtual void RemoveAllRows() = 0;
  virtual std::string CellText(int row, int column) const = 0;
  virtual void SetCellText(int row, int column, std::string_view text) = 0;
  virtual int StateImage(int row) const = 0;  // kNoIcon when none was set
  virtual void SetStateImage(int row, int image) = 0;
  virtual int SelectedRow() const = 0;  // -1 when no row is selected
};

// The window side of the task logic: the two lists, the poll timer 时钟1, the status bar, the one
// question box, the settings controls the logic reads and writes, and letting pending events run.
// The application implements it on widgets; tests and benchmarks use MemoryTaskWindow.
class TaskWindow {
 public:
  virtual ~TaskWindow() = default;
  virtual TaskListView& DownloadList() = 0;  // 下载列表框
  virtual TaskListView& FinishedList() = 0;  // 完成列表框
  virtual int TimerPeriod() const = 0;       // 时钟1 in ms; 0 while it does not run
  virtual void SetTimerPeriod(int milliseconds) = 0;
  virtual void SetStatusText(std::string_view text) = 0;  // first part of 状态条1
  // A question with Yes and No; true for Yes.
  virtual bool AskYesNo(std::string_view text, std::string_view caption) = 0;
  // A message with an OK button; an empty caption means the toolkit's default ("信息：").
  virtual void ShowMessage(std::string_view text, std::string_view caption) = 0;
  virtual void LetPendingEventsRun() = 0;

  virtual std::string SpeedText() const = 0;  // 编辑框_下载速度
  virtual void SetSpeedText(std::string_view text) = 0;
  virtual std::string DirectoryText() const = 0;  // 编辑框_储存路径
  virtual void SetDirectoryText(std::string_view text) = 0;
  virtual bool AutoStart() const = 0;  // 选择框1
  virtual void SetAutoStart(bool checked) = 0;
};

// Turns a finished Flash-video download into an MP3 beside it. It must not block the UI thread; the
// ".flv" is deleted only when the converter succeeded and the ".mp3" exists.
class FlvConverter {
 public:
  virtual ~FlvConverter() = default;
  // `flv_path` is the full path in code page 936, as stored with the task.
  virtual void ConvertFlvDownload(std::string_view flv_path) = 0;
};

// The task table and the operations on it. It holds references only; everything it refers to (the
// global objects, the store, the window, the converter) outlives it.
class TaskTable {
 public:
  TaskTable(DownloadEngine& engine, TaskParamBlock& param_block, TaskInfoBlock& info_block,
            TaskHandleList& handles, TaskStore& store, TaskWindow& window, FlvConverter& converter);
  TaskTable(const TaskTable&) = delete;
  TaskTable& operator=(const TaskTable&) = delete;

  // Creates the engine task for `media_url`, `file_name` in `directory`, appends its handle, starts it,
  // appends its download row (column 0 = file_name) and starts the timer at 1000 ms when it is not
  // running. The 下载记录 record is the caller's: a new task adds it through Pending() afterwards.
  void AppendTask(std::string_view media_url, std::string_view file_name, std::string_view directory);
  // Removes position `position` from the handles, the download list and 下载记录, then renumbers.
  void RemoveTaskAt(int position);

  // The timer's handler: one pass over the table (progress, icons, completion, failures, status bar).
  void PollTasks();
  // At start-up with the store open: settings, pending tasks, finished rows.
  void RestoreSavedState();

  // Commands of the popup menus and the double-click.
  void StartAllTasks();
  void PauseAllTasks();
  void ToggleSelectedTask();
  void DeleteSelectedTask();
  void ClearFinishedList();

  // The Apply button of the settings panel: validates the speed, hands it to the engine, stores the
  // three settings and says so.
  void ApplySettings();

  RecordSet& Pending();   // 记录集1, table 下载记录
  RecordSet& Settings();  // 记录集2, table 设置记录
  RecordSet& Finished();  // 记录集3, table 完成下载
  DownloadEngine& Engine() { return engine_; }
  TaskWindow& Window() { return window_; }
  const TaskHandleList& Handles() const { return handles_; }

  // The clock for completion times (local time); tests put a fixed one in.
  void SetClock(std::function<std::tm()> now) { now_ = std::move(now); }

 private:
  enum class StartMode { kStart, kStartThenStop };
  void AppendTask(std::string_view media_url, std::string_view file_name, std::string_view directory,
                  StartMode mode);
  // Queries the task at `position` into the info block; false when the engine says no (or there is
  // no block to fill).
  bool QueryTask(int position);
  void VisitRow(int position, double& total, bool& leave);
  void CompleteTaskAt(int position, const std::string& source);
  void RestoreSettings();
  void RestorePendingTasks();
  void RestoreFinishedRows();

  DownloadEngine& engine_;
  TaskParamBlock& param_block_;
  TaskInfoBlock& info_block_;
  TaskHandleList& handles_;
  TaskStore& store_;
  TaskWindow& window_;
  FlvConverter& converter_;
  std::function<std::tm()> now_;
  bool polling_ = false;
};

}  // namespace morvalin
