// Writes FLV AAC audio as an ADTS stream: the AudioSpecificConfig chunk gives profile, sampling-rate
// index and channel configuration; every raw frame is written behind a 7-byte ADTS header.
#pragma once

#include <filesystem>

#include "convert/file_io.h"
#include "convert/writers.h"

namespace morvalin {

class AACWriter final : public IAudioWriter {
 public:
  explicit AACWriter(std::filesystem::path path) : path_(std::move(path)) {}
  Status Open() { return fs_.Create(path_); }

  Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp) override;
  Status Finish() override { return fs_.Close(); }
  std::optional<std::filesystem::path> Path() const override { return path_; }

 private:
  Status ReadConfig(std::span<const uint8_t> config);

  std::filesystem::path path_;
  OutputFile fs_;
  int profile_ = 0;
  int sample_rate_index_ = 0;
  int channel_config_ = 0;
};

}  // namespace morvalin
