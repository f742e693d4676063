// Writes FLV PCM audio as a RIFF WAVE file. Chunks are written as whole sample blocks; the sizes in the
// header are filled in by Finish.
#pragma once

#include <cstdint>
#include <filesystem>

#include "convert/file_io.h"
#include "convert/writers.h"

namespace morvalin {

class WAVWriter final : public IAudioWriter {
 public:
  WAVWriter(std::filesystem::path path, int bits_per_sample, int channels, uint32_t sample_rate)
      : path_(std::move(path)), bits_per_sample_(bits_per_sample), channels_(channels),
        sample_rate_(sample_rate) {}
  // Creates the file and writes the header with zero sizes.
  Status Open();

  Status BeginChunk(uint32_t size, uint32_t time_stamp) override;
  Status WritePiece(std::span<const uint8_t> piece) override;
  Status EndChunk() override { return {}; }
  Status Finish() override;
  std::optional<std::filesystem::path> Path() const override { return path_; }

 private:
  Status WriteHeader();
  int BlockAlign() const { return bits_per_sample_ / 8 * channels_; }

  std::filesystem::path path_;
  int bits_per_sample_;
  int channels_;
  uint32_t sample_rate_;
  OutputFile fs_;
  uint64_t data_size_ = 0;
  uint64_t chunk_left_ = 0;  // bytes of the current chunk's whole blocks not yet written
};

}  // namespace morvalin
