#include "convert/record_spool.h"

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace morvalin {

namespace {
Status SpoolError() { return FileError("temporary file", errno); }
}  // namespace

RecordSpool::~RecordSpool() { Clear(); }

void RecordSpool::Clear() {
  if (spill_ != nullptr) std::fclose(spill_);
  spill_ = nullptr;
  spilled_ = 0;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

Status RecordSpool::Append(std::span<const uint8_t> record) {
  buffer_.insert(buffer_.end(), record.begin(), record.end());
  if (buffer_.size() < kBufferRecords * record_size_) return {};
  if (spill_ == nullptr && (spill_ = std::tmpfile()) == nullptr) return SpoolError();
  if (std::fseek(spill_, 0, SEEK_END) != 0 ||
      std::fwrite(buffer_.data(), 1, buffer_.size(), spill_) != buffer_.size()) {
    return SpoolError();
  }
  spilled_ += buffer_.size() / record_size_;
  buffer_.clear();
  return {};
}

Status RecordSpool::Get(uint64_t index, std::span<uint8_t> out) {
  if (index >= spilled_) {
    std::memcpy(out.data(), buffer_.data() + (index - spilled_) * record_size_, record_size_);
    return {};
  }
  if (std::fseek(spill_, static_cast<long>(index * record_size_), SEEK_SET) != 0 ||
      std::fread(out.data(), 1, record_size_, spill_) != record_size_) {
    return SpoolError();
  }
  return {};
}

Status RecordSpool::CopyTo(OutputFile& file) {
  if (spill_ != nullptr) {
    std::rewind(spill_);
    std::vector<uint8_t> block(kBufferRecords * record_size_);
    for (uint64_t left = spilled_ * record_size_; left > 0;) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
      if (std::fread(block.data(), 1, n, spill_) != n) return SpoolError();
      MORVALIN_RETURN_IF_ERROR(file.Write(std::span<const uint8_t>(block.data(), n)));
      left -= n;
    }
  }
  return file.Write(buffer_);
}

}  // namespace morvalin
