// Writes the MP3 frames of an FLV audio stream to an .mp3 file, unchanged. It holds back the start of
// the stream (up to 65536 bytes plus the chunk that crosses that mark) until it knows whether a Xing
// VBR frame must stand in front; a stream found to be variable while still held back gets a placeholder
// that Finish replaces with the real Xing frame (frame count, byte count, table of contents).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "convert/file_io.h"
#include "convert/writers.h"

namespace morvalin {

class MP3Writer final : public IAudioWriter {
 public:
  // The writer adds its warnings to `warnings`, which must outlive it.
  MP3Writer(std::filesystem::path path, Warnings& warnings);
  // Creates the output file (an existing one is truncated).
  Status Open();

  Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp) override;
  Status Finish() override;
  std::optional<std::filesystem::path> Path() const override { return path_; }

  // Layer III frame length in bytes.
  static int GetFrameLength(int mpeg_version, int bit_rate, int sample_rate, int padding);
  // Offset of the data behind the side information, where a Xing tag stands.
  static int GetFrameDataOffset(int mpeg_version, int channel_mode);

 private:
  Status ParseMP3Frames(std::span<const uint8_t> chunk);
  Status WriteVBRHeader(bool placeholder);
  Status WriteHeldChunks();
  bool KeepsFrameOffsets() const { return delay_write_ || write_vbr_header_; }

  std::filesystem::path path_;
  OutputFile fs_;
  Warnings& warnings_;
  std::vector<std::vector<uint8_t>> chunk_buffer_;
  // Offsets of recognised frames from the start of the audio data; kept only while a Xing frame may
  // still need its table of contents, otherwise only counted.
  std::vector<uint32_t> frame_offsets_;
  uint32_t frame_count_ = 0;
  uint32_t total_frame_length_ = 0;
  bool is_vbr_ = false;
  bool delay_write_ = true;
  bool has_vbr_header_ = false;
  bool write_vbr_header_ = false;
  int first_bit_rate_ = 0;
  int mpeg_version_ = 0;
  int sample_rate_ = 0;
  int channel_mode_ = 0;
  uint32_t first_frame_header_ = 0;
};

}  // namespace morvalin
