#pragma once
// A TaskWindow without a display: lists, timer period, status text and settings held in memory. Used
// by the tests and the benchmark in place of the main window. Answers to questions are taken from a
// queue the test fills; messages and questions are recorded.
#include <deque>
#include <string>
#include <vector>

#include "tasks/task_table.h"

namespace morvalin {

class MemoryListView : public TaskListView {
 public:
  explicit MemoryListView(int columns) : columns_(columns) {}

  int RowCount() const override { return static_cast<int>(rows_.size()); }
  int AppendRow(std::string_view first_column) override;
  void RemoveRow(int row) override;
  void RemoveAllRows() override { rows_.clear(); }
  std::string CellText(int row, int column) const override;
  void SetCellText(int row, int column, std::string_view text) override;
  int StateImage(int row) const override;
  void SetStateImage(int row, int image) override;
  int SelectedRow() const override { return selected_ < RowCount() ? selected_ : -1; }

  void Select(int row) { selected_ = row; }

 private:
  struct Row {
    std::vector<std::string> cells;
    int image = kNoIcon;
  };
  bool Valid(int row) const { return row >= 0 && row < RowCount(); }

  int columns_;
  std::vector<Row> rows_;
  int selected_ = -1;
};

class MemoryTaskWindow : public TaskWindow {
 public:
  struct Message {
    std::string text;
    std::string caption;
    bool question = false;
  };

  TaskListView& DownloadList() override { return download_list; }
  TaskListView& FinishedList() override { return finished_list; }
  int TimerPeriod() const override { return timer_period; }
  void SetTimerPeriod(int milliseconds) override { timer_period = milliseconds; }
  void SetStatusText(std::string_view text) override { status_text = std::string(text); }
  bool AskYesNo(std::string_view text, std::string_view caption) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void LetPendingEventsRun() override;

  std::string SpeedText() const override { return speed_text; }
  void SetSpeedText(std::string_view text) override { speed_text = std::string(text); }
  std::string DirectoryText() const override { return directory_text; }
  void SetDirectoryText(std::string_view text) override { directory_text = std::string(text); }
  bool AutoStart() const override { return auto_start; }
  void SetAutoStart(bool checked) override { auto_start = checked; }

  MemoryListView download_list{6};
  MemoryListView finished_list{4};
  int timer_period = 0;
  std::string status_text;
  std::string speed_text;
  std::string directory_text;
  bool auto_start = false;
  std::deque<bool> answers;       // next answers to AskYesNo; No when empty
  std::vector<Message> messages;  // every message and question, in order
  // Run on every LetPendingEventsRun, standing in for events that arrive while the poll yields.
  std::function<void()> pending_events;
  int yields = 0;
};

}  // namespace morvalin
