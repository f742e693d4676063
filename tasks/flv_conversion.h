#pragma once
// Runs the converter file on a finished Flash-video download, as a child process, without making the
// UI thread wait: the process reports its end through the event loop. The ".flv" is deleted only when
// the converter exited normally with 0 and the ".mp3" beside it exists; otherwise the download stays.
//
// The path goes to the converter as one argument of an argument vector (no shell, no quoting), so
// blanks and other special characters in it are harmless. Lives on the UI thread. Destroying it waits
// (a bounded time) for conversions still running.
#include <memory>
#include <string>
#include <string_view>

#include "tasks/task_table.h"

class QObject;

namespace morvalin {

class ProcessFlvConverter : public FlvConverter {
 public:
  // `converter_file` is the native (UTF-8) path of the converter program.
  explicit ProcessFlvConverter(std::string converter_file);
  ~ProcessFlvConverter() override;

  // An empty path starts nothing.
  void ConvertFlvDownload(std::string_view flv_path) override;

  // Conversions started and not yet ended.
  int Running() const { return running_; }
  // Lets events run until no conversion is running or `timeout_ms` has passed; true when none runs.
  bool WaitForAll(int timeout_ms);

 private:
  static constexpr int kShutdownWaitMs = 30000;
  std::string converter_file_;
  std::unique_ptr<QObject> owner_;  // parent of the running processes
  int running_ = 0;
};

// "<dir>/<name>.mp3" for "<dir>/<name>.<ext>": the file the converter writes beside its input.
std::string Mp3PathBeside(const std::string& native_path);

}  // namespace morvalin
