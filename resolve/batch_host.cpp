#include "resolve/batch_host.h"

#include "resolve/task_creation.h"
#include "tasks/task_table.h"

namespace morvalin {

std::string TaskTableBatchHost::DirectoryText() { return table_.Window().DirectoryText(); }

std::string TaskTableBatchHost::SpeedText() { return table_.Window().SpeedText(); }

void TaskTableBatchHost::SetSpeedLimit(std::int32_t kilobytes_per_second) {
  table_.Engine().XL_SetSpeedLimit(kilobytes_per_second);
}

void TaskTableBatchHost::CreateResolvedTask(const std::string& media_url, const std::string& file_name,
                                            const std::string& directory, const std::string& host_key) {
  morvalin::CreateResolvedTask(table_, media_url, file_name, directory, host_key);
}

}  // namespace morvalin
