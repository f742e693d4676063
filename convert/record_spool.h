// A growing list of fixed-size records that keeps only the newest few thousand in memory and moves the
// rest to an anonymous temporary file, so that lists which grow with the input (frame offsets, index
// entries) cost the converter no memory in proportion to it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "convert/file_io.h"

namespace morvalin {

class RecordSpool {
 public:
  explicit RecordSpool(size_t record_size) : record_size_(record_size) {}
  ~RecordSpool();
  RecordSpool(const RecordSpool&) = delete;
  RecordSpool& operator=(const RecordSpool&) = delete;

  // `record` must be record_size bytes.
  Status Append(std::span<const uint8_t> record);
  uint64_t size() const { return spilled_ + buffer_.size() / record_size_; }
  // Reads record `index` (below size()) into `out` (record_size bytes).
  Status Get(uint64_t index, std::span<uint8_t> out);
  // Writes all records in order to `file`.
  Status CopyTo(OutputFile& file);
  void Clear();

 private:
  static constexpr size_t kBufferRecords = 4096;

  size_t record_size_;
  std::vector<uint8_t> buffer_;  // records after the spilled ones
  std::FILE* spill_ = nullptr;
  uint64_t spilled_ = 0;  // records in the temporary file
};

}  // namespace morvalin
