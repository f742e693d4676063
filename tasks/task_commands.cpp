// The commands of the two popup menus, the double-click and the settings panel's Apply button.
#include "engine/record_layout.h"
#include "engine/task_records.h"
#include "platform/code_page.h"
#include "store/task_store.h"
#include "tasks/number_format.h"
#include "tasks/task_table.h"
#include "web/text_ops.h"

namespace morvalin {

void TaskTable::StartAllTasks() {
  TaskListView& list = window_.DownloadList();
  // Every row shows the arrow at once; the next poll corrects rows the engine did not start.
  for (int row = 0; row < list.RowCount(); ++row) list.SetStateImage(row, kIconDownloading);
  for (int row = 0; row < list.RowCount(); ++row) {
    if (QueryTask(row) && info_block_.stat() == layout::kStatPaused) {
      engine_.XL_StartTask(handles_[static_cast<std::size_t>(row)]);
    }
  }
}

void TaskTable::PauseAllTasks() {
  TaskListView& list = window_.DownloadList();
  for (int row = 0; row < list.RowCount(); ++row) list.SetStateImage(row, kIconPaused);
  for (int row = 0; row < list.RowCount(); ++row) {
    if (QueryTask(row) && info_block_.stat() == layout::kStatDownloading) {
      engine_.XL_StopTask(handles_[static_cast<std::size_t>(row)]);
    }
  }
}

void TaskTable::ToggleSelectedTask() {
  TaskListView& list = window_.DownloadList();
  const int row = list.SelectedRow();
  if (row < 0 || !QueryTask(row)) return;
  const TaskHandle handle = handles_[static_cast<std::size_t>(row)];
  const std::int32_t stat = info_block_.stat();
  if (stat == layout::kStatDownloading) {
    list.SetStateImage(row, kIconPaused);
    engine_.XL_StopTask(handle);
  } else if (stat == layout::kStatPaused) {
    list.SetStateImage(row, kIconDownloading);
    engine_.XL_StartTask(handle);
  }
}

void TaskTable::DeleteSelectedTask() {
  TaskListView& list = window_.DownloadList();
  const int row = list.SelectedRow();
  if (row < 0 || !QueryTask(row)) return;
  const TaskHandle handle = handles_[static_cast<std::size_t>(row)];
  if (info_block_.stat() != layout::kStatPaused) engine_.XL_StopTask(handle);
  engine_.XL_DeleteTask(handle);
  // The row, its handle and its record stay: the poll drops them once the engine reports the task
  // failed. The temporary files are looked for in the directory field as it reads now.
  const std::string name = list.CellText(list.SelectedRow(), kColName);
  DeleteEngineTempFile(engine_, window_.DirectoryText(), name);
}

void TaskTable::ClearFinishedList() {
  TaskListView& done = window_.FinishedList();
  if (done.RowCount() == 0) return;
  if (!window_.AskYesNo(Gbk("是否清空下载记录？"), Gbk("清理"))) return;
  Finished().DeleteAllRecords();
  done.RemoveAllRows();
}

void TaskTable::ApplySettings() {
  const std::string typed = window_.SpeedText();
  if (typed.empty()) {
    window_.SetSpeedText("99999");
    window_.ShowMessage(Gbk("速度限制不能为空！"), {});
    return;
  }
  if (LeadingNumber(typed) < 100) {
    window_.SetSpeedText("99999");
    window_.ShowMessage(Gbk("速度限制不能小于100KB！"), {});
    return;
  }
  // The fields keep what was typed; the engine and the store get the trimmed texts.
  const std::string speed = Trim(typed);
  const std::string directory = Trim(window_.DirectoryText());
  engine_.XL_SetSpeedLimit(SpeedLimitFromText(speed));
  RecordSet& settings = Settings();
  settings.DeleteAllRecords();
  if (settings.AddRecord() == 1) {
    settings.WriteField("下载速度", speed);
    settings.WriteField("下载路径", directory);
    settings.WriteField("自动下载", static_cast<std::int32_t>(window_.AutoStart() ? 1 : 0));
    settings.MoveNext();
  }
  window_.ShowMessage(Gbk("设置已保存！"), Gbk("设置"));
}

}  // namespace morvalin
