// Writes FLV H.264 video as an Annex B elementary stream: the parameter sets of the decoder
// configuration record and every NAL unit of the frames, each behind a 00 00 00 01 start code.
#pragma once

#include <filesystem>

#include "convert/file_io.h"
#include "convert/writers.h"

namespace morvalin {

class RawH264Writer final : public IVideoWriter {
 public:
  explicit RawH264Writer(std::filesystem::path path) : path_(std::move(path)) {}
  Status Open() { return fs_.Create(path_); }

  Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp, int frame_type) override;
  Status Finish(FractionUInt32) override { return fs_.Close(); }
  std::optional<std::filesystem::path> Path() const override { return path_; }

 private:
  Status WriteNalUnit(std::span<const uint8_t> nal);
  Status WriteConfiguration(std::span<const uint8_t> record);
  Status WriteFrame(std::span<const uint8_t> data);

  std::filesystem::path path_;
  OutputFile fs_;
  int nal_length_size_ = 4;
};

}  // namespace morvalin
