#include "store/task_store.h"

#include "store/record_set_state.h"

namespace morvalin {

TaskStore::TaskStore() = default;

TaskStore::~TaskStore() {
  // The record sets hold the connection too; closing them first ends it here.
  记录集1.state_->Close();
  记录集2.state_->Close();
  记录集3.state_->Close();
}

void TaskStore::OpenStore(const std::string& path, const std::string& password) {
  记录集1.state_->Close();
  记录集2.state_->Close();
  记录集3.state_->Close();
  connection_ = StoreConnection::Open(path, password);
  if (!connection_) return;
  记录集1.state_->Bind(connection_, PendingTasksTable());
  记录集2.state_->Bind(connection_, SettingsTable());
  记录集3.state_->Bind(connection_, FinishedTable());
}

void RenumberPendingRecords(RecordSet& 记录集1) {
  记录集1.MoveFirst();
  const int n = 记录集1.RecordCount();
  for (int i = 1; i <= n; ++i) {
    记录集1.WriteField("编号", static_cast<std::int32_t>(i));
    记录集1.MoveNext();
  }
}

}  // namespace morvalin
