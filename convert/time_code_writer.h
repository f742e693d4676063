// Writes the time stamps of the video frames as a "timecode format v2" text file, one per line; created
// without a path it writes nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "convert/file_io.h"

namespace morvalin {

class TimeCodeWriter {
 public:
  TimeCodeWriter() = default;
  explicit TimeCodeWriter(std::filesystem::path path) : path_(std::move(path)) {}
  // Creates the file and writes the format line; nothing without a path.
  Status Open();

  Status Write(uint32_t time_stamp);
  Status Finish();
  const std::optional<std::filesystem::path>& Path() const { return path_; }

 private:
  std::optional<std::filesystem::path> path_;
  OutputFile fs_;
};

}  // namespace morvalin
