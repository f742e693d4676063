#pragma once
// What the batch window needs from the rest of the program: the main window's directory and speed
// fields, the engine's speed limit and the creation of a task. Every call is made on the UI thread.
// The program passes a TaskTableBatchHost; tests may pass their own.
#include <cstdint>
#include <string>

namespace morvalin {

class BatchHost {
 public:
  virtual ~BatchHost() = default;

  // The current text of the main window's 编辑框_储存路径 (code page 936), as typed, not as applied.
  virtual std::string DirectoryText() = 0;
  // The current text of the main window's 编辑框_下载速度 (code page 936).
  virtual std::string SpeedText() = 0;
  // XL_SetSpeedLimit, in KB/s.
  virtual void SetSpeedLimit(std::int32_t kilobytes_per_second) = 0;
  // Turns one resolved item into a running task with its row and store record.
  virtual void CreateResolvedTask(const std::string& media_url, const std::string& file_name,
                                  const std::string& directory, const std::string& host_key) = 0;
};

class TaskTable;

// The program's host: the main window's fields as the task table's window gives them, the table's
// engine, and CreateResolvedTask on the table.
class TaskTableBatchHost : public BatchHost {
 public:
  explicit TaskTableBatchHost(TaskTable& table) : table_(table) {}

  std::string DirectoryText() override;
  std::string SpeedText() override;
  void SetSpeedLimit(std::int32_t kilobytes_per_second) override;
  void CreateResolvedTask(const std::string& media_url, const std::string& file_name,
                          const std::string& directory, const std::string& host_key) override;

 private:
  TaskTable& table_;
};

}  // namespace morvalin
