#pragma once
// What the task-logic tests share: a task table over the fake engine, an in-memory window, a
// recording converter and, when a test asks for it, a real (empty) store file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/fake_engine.h"
#include "engine/task_records.h"
#include "platform/code_page.h"
#include "store/task_store.h"
#include "tasks/memory_task_window.h"
#include "tasks/task_table.h"

namespace morvalin::test {

// The process's QCoreApplication, made at the first call (child processes report through its events).
void EnsureCoreApplication();

class RecordingConverter : public FlvConverter {
 public:
  void ConvertFlvDownload(std::string_view flv_path) override { paths.emplace_back(flv_path); }
  std::vector<std::string> paths;
};

// A fresh directory under the system's temporary directory, removed with the object.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Writes a new empty store file `directory`/Data.mdb (replacing one) and returns its path.
std::string MakeEmptyStore(const std::filesystem::path& directory);

class TaskTableTest : public ::testing::Test {
 protected:
  TaskTableTest();

  // Opens a new empty store (without it every record set stays closed).
  void OpenStore();
  // What the batch worker does for one resolved item: the task, then its 下载记录 record.
  void CreateTask(const std::string& url, const std::string& name, const std::string& directory,
                  const std::string& source);
  // Sets what the engine reports for the task at `position`.
  void Report(int position, std::int32_t stat, const std::string& name, std::int32_t speed = 0,
              float percent = 0, std::int64_t received = 0, std::int64_t size = 0);
  // Column texts of a download row, as UTF-8.
  std::vector<std::string> DownloadRow(int row);
  std::vector<std::string> FinishedRow(int row);
  // The 下载记录 fields of every record, as UTF-8: name and 编号.
  std::vector<std::pair<std::string, int>> PendingNames();

  ScratchDirectory scratch_;
  FakeEngine engine_;
  TaskParamBlock param_;
  TaskInfoBlock info_;
  TaskHandleList handles_;
  TaskStore store_;
  MemoryTaskWindow window_;
  RecordingConverter converter_;
  TaskTable table_;
};

}  // namespace morvalin::test
