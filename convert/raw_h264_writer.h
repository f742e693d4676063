// Writes FLV H.264 video as an Annex B elementary stream: the parameter sets of the decoder
// configuration record and every NAL unit of the frames, each behind a 00 00 00 01 start code. Frames
// pass through in pieces; only a configuration record is collected (up to a limit) before it is read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "convert/file_io.h"
#include "convert/writers.h"

namespace morvalin {

class RawH264Writer final : public IVideoWriter {
 public:
  explicit RawH264Writer(std::filesystem::path path) : path_(std::move(path)) {}
  Status Open() { return fs_.Create(path_); }

  Status BeginChunk(uint32_t size, uint32_t time_stamp, int frame_type) override;
  Status WritePiece(std::span<const uint8_t> piece) override;
  Status EndChunk() override;
  Status Finish(FractionUInt32) override { return fs_.Close(); }
  std::optional<std::filesystem::path> Path() const override { return path_; }

 private:
  Status WriteNalUnit(std::span<const uint8_t> nal);
  Status WriteConfiguration(std::span<const uint8_t> record);
  // Follows the length-prefixed NAL units of a frame through the piece.
  Status WriteFrameBytes(std::span<const uint8_t> bytes);

  std::filesystem::path path_;
  OutputFile fs_;
  int nal_length_size_ = 4;

  // The chunk being received.
  uint32_t chunk_size_ = 0;
  uint32_t received_ = 0;
  int packet_type_ = -1;
  std::vector<uint8_t> configuration_;
  bool dropping_ = false;     // the rest of the frame is not a whole NAL unit
  int length_bytes_left_ = 0; // of the next unit's length field
  uint32_t unit_length_ = 0;
  uint32_t unit_left_ = 0;    // bytes of the current unit still to copy
};

}  // namespace morvalin
