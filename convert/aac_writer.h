// Writes FLV AAC audio as an ADTS stream: the AudioSpecificConfig chunk gives profile, sampling-rate
// index and channel configuration; every raw frame is written behind a 7-byte ADTS header. A chunk is
// collected only up to the largest frame ADTS can describe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "convert/file_io.h"
#include "convert/writers.h"

namespace morvalin {

class AACWriter final : public IAudioWriter {
 public:
  explicit AACWriter(std::filesystem::path path) : path_(std::move(path)) {}
  Status Open() { return fs_.Create(path_); }

  Status BeginChunk(uint32_t size, uint32_t time_stamp) override;
  Status WritePiece(std::span<const uint8_t> piece) override;
  Status EndChunk() override;
  Status Finish() override { return fs_.Close(); }
  std::optional<std::filesystem::path> Path() const override { return path_; }

 private:
  Status ReadConfig(std::span<const uint8_t> config);

  std::filesystem::path path_;
  OutputFile fs_;
  int profile_ = 0;
  int sample_rate_index_ = 0;
  int channel_config_ = 0;
  uint32_t chunk_size_ = 0;
  std::vector<uint8_t> chunk_;  // the chunk's first bytes, at most one ADTS frame's worth
};

}  // namespace morvalin
