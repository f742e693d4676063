#include "tasks/task_table.h"

#include "engine/engine_calls.h"
#include "engine/task_records.h"
#include "store/task_store.h"
#include "tasks/number_format.h"

namespace morvalin {

namespace {
constexpr int kPollPeriodMs = 1000;
}  // namespace

TaskTable::TaskTable(DownloadEngine& engine, TaskParamBlock& param_block, TaskInfoBlock& info_block,
                     TaskHandleList& handles, TaskStore& store, TaskWindow& window, FlvConverter& converter)
    : engine_(engine),
      param_block_(param_block),
      info_block_(info_block),
      handles_(handles),
      store_(store),
      window_(window),
      converter_(converter),
      now_(LocalNow) {}

RecordSet& TaskTable::Pending() { return store_.记录集1; }
RecordSet& TaskTable::Settings() { return store_.记录集2; }
RecordSet& TaskTable::Finished() { return store_.记录集3; }

void TaskTable::AppendTask(std::string_view media_url, std::string_view file_name,
                           std::string_view directory) {
  AppendTask(media_url, file_name, directory, StartMode::kStart);
}

void TaskTable::AppendTask(std::string_view media_url, std::string_view file_name, std::string_view directory,
                           StartMode mode) {
  param_block_.Build(media_url, {}, {}, file_name, directory, /*is_only_original=*/false,
                     /*disable_auto_rename=*/true, /*is_resume=*/true);
  // Without a block the engine is not asked at all; the handle 0 names no task, so every later query
  // of it fails and the row simply stays as it is, still in step with its record.
  const bool built = param_block_.BlockAddress() != nullptr;
  handles_.push_back(CreateEngineTask(engine_, param_block_));
  if (built) {
    engine_.XL_StartTask(handles_.back());
    if (mode == StartMode::kStartThenStop) engine_.XL_StopTask(handles_.back());
  }
  info_block_.Build();
  window_.DownloadList().AppendRow(file_name);
  if (window_.TimerPeriod() == 0) window_.SetTimerPeriod(kPollPeriodMs);
}

void TaskTable::RemoveTaskAt(int position) {
  if (position < 0 || position >= static_cast<int>(handles_.size())) return;
  handles_.erase(handles_.begin() + position);
  window_.DownloadList().RemoveRow(position);
  Pending().GoToRecord(position);
  Pending().DeleteCurrentRecord();
  RenumberPendingRecords(Pending());
}

bool TaskTable::QueryTask(int position) {
  if (position < 0 || position >= static_cast<int>(handles_.size())) return false;
  return QueryEngineTask(engine_, handles_[static_cast<std::size_t>(position)], info_block_) != 0;
}

}  // namespace morvalin
