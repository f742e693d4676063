// Start-up with the store open: the settings, the pending tasks and the finished rows come back.
#include "engine/task_records.h"
#include "store/task_store.h"
#include "tasks/number_format.h"
#include "tasks/task_table.h"

namespace morvalin {

void TaskTable::RestoreSavedState() {
  RestoreSettings();
  RestorePendingTasks();
  RestoreFinishedRows();
}

void TaskTable::RestoreSettings() {
  RecordSet& settings = Settings();
  if (settings.RecordCount() <= 0) return;  // the form defaults stay; no limit is set
  settings.GoToRecord(0);
  const std::string speed = settings.ReadText("下载速度");
  const std::string directory = settings.ReadText("下载路径");
  std::int32_t auto_start = 0;
  settings.ReadInt("自动下载", auto_start);
  window_.SetAutoStart(auto_start > 0);
  window_.SetSpeedText(speed);
  window_.SetDirectoryText(directory);
  engine_.XL_SetSpeedLimit(SpeedLimitFromText(speed));
}

void TaskTable::RestorePendingTasks() {
  RecordSet& pending = Pending();
  const int count = pending.RecordCount();
  // With auto-start off a restored task is created in the engine and paused at once.
  const StartMode mode = window_.AutoStart() ? StartMode::kStart : StartMode::kStartThenStop;
  for (int i = 0; i < count; ++i) {
    pending.GoToRecord(i);
    const std::string url = pending.ReadText("文件完整地址");
    const std::string name = pending.ReadText("下载文件名");
    const std::string directory = pending.ReadText("下载路径");
    AppendTask(url, name, directory, mode);
  }
}

void TaskTable::RestoreFinishedRows() {
  RecordSet& finished = Finished();
  TaskListView& done = window_.FinishedList();
  const int count = finished.RecordCount();
  for (int j = 0; j < count; ++j) {
    finished.GoToRecord(j);
    const std::string name = finished.ReadText("文件名");
    const std::string time = finished.ReadText("完成时间");
    const std::string source = finished.ReadText("歌曲来源");
    const std::string directory = finished.ReadText("下载目录");
    const int row = done.AppendRow({});
    done.SetCellText(row, kDoneColName, name);
    done.SetCellText(row, kDoneColTime, time);
    done.SetCellText(row, kDoneColSource, source);
    done.SetCellText(row, kDoneColDirectory, directory);
    done.SetStateImage(row, kIconFinished);
  }
}

}  // namespace morvalin
