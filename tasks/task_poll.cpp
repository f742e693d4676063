// The one-second poll: progress of every task, completion of finished ones, removal of failed ones.
#include "engine/record_layout.h"
#include "engine/task_records.h"
#include "platform/code_page.h"
#include "store/task_store.h"
#include "tasks/number_format.h"
#include "tasks/task_table.h"

namespace morvalin {

namespace {

constexpr double kMebibyte = 1048576.0;

// Clears the poll's busy flag however the pass ends.
class BusyFlag {
 public:
  explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyFlag() { flag_ = false; }
  BusyFlag(const BusyFlag&) = delete;
  BusyFlag& operator=(const BusyFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void TaskTable::PollTasks() {
  // A tick that comes while an earlier pass lets events run is dropped; the next one catches up.
  if (polling_) return;
  BusyFlag busy(polling_);
  double total = 0;
  // Tasks appended while the pass yields are visited from the next tick on.
  const int count = static_cast<int>(handles_.size());
  for (int position = 0; position < count; ++position) {
    if (position >= static_cast<int>(handles_.size())) break;
    bool leave = false;
    VisitRow(position, total, leave);
    if (leave) break;
    window_.LetPendingEventsRun();
  }
  window_.SetStatusText(Gbk("总下载速度： ") + FormatByteSize(total));
}

void TaskTable::VisitRow(int position, double& total, bool& leave) {
  if (!QueryTask(position)) return;
  TaskListView& list = window_.DownloadList();
  const std::string engine_name = info_block_.szFilename();
  list.SetCellText(position, kColName, engine_name);

  RecordSet& pending = Pending();
  pending.GoToRecord(position);
  const std::string stored_name = pending.ReadText("下载文件名");
  const std::string source = pending.ReadText("歌曲来源");
  if (list.CellText(position, kColName) != stored_name) {
    // The engine may write under another name than the one asked for; the record follows it.
    pending.GoToRecord(position);
    pending.WriteField("下载文件名", engine_name);
    RenumberPendingRecords(pending);
  }
  if (list.CellText(position, kColSource) != source) list.SetCellText(position, kColSource, source);

  const std::int32_t speed = info_block_.nSpeed();
  list.SetCellText(position, kColSpeed, FormatByteSize(speed));
  list.SetCellText(position, kColPercent,
                   FixedDecimals(static_cast<double>(info_block_.fPercent()) * 100, 2) + "%");
  list.SetCellText(position, kColReceived,
                   FixedDecimals(static_cast<double>(info_block_.nTotalDownload()) / kMebibyte, 2) + "MB");
  list.SetCellText(position, kColSize,
                   FixedDecimals(static_cast<double>(info_block_.nTotalSize()) / kMebibyte, 2) + "MB");
  total += speed;

  switch (info_block_.stat()) {
    case layout::kStatFinished:
      CompleteTaskAt(position, source);
      leave = true;
      break;
    case layout::kStatDownloading:
      list.SetStateImage(position, kIconDownloading);
      break;
    case layout::kStatPaused:
      list.SetStateImage(position, kIconPaused);
      break;
    case layout::kStatFailed:
      RemoveTaskAt(position);
      leave = true;
      break;
    default:
      break;
  }
}

void TaskTable::CompleteTaskAt(int position, const std::string& source) {
  TaskListView& list = window_.DownloadList();
  RecordSet& pending = Pending();
  pending.GoToRecord(position);
  const std::string file_name = pending.ReadText("下载文件名");
  const std::string directory = pending.ReadText("下载路径");
  const std::string shown_name = list.CellText(position, kColName);

  // Only the lower-case extension marks a Flash-video download.
  if (shown_name.find(".flv") != std::string::npos) converter_.ConvertFlvDownload(directory + file_name);

  RecordSet& finished = Finished();
  if (finished.AddRecord() == 1) {
    finished.WriteField("文件名", shown_name);
    finished.WriteField("完成时间", DateTimeText(now_()));
    finished.WriteField("歌曲来源", source);
    finished.WriteField("下载目录", directory);
    finished.MoveNext();
  }

  TaskListView& done = window_.FinishedList();
  const int row = done.AppendRow(shown_name);
  done.SetCellText(row, kDoneColTime, DateTimeText(now_()));
  done.SetStateImage(row, kIconFinished);
  done.SetCellText(row, kDoneColSource, source);
  done.SetCellText(row, kDoneColDirectory, directory);

  RemoveTaskAt(position);
}

}  // namespace morvalin
