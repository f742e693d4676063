// Writes the MP3 frames of an FLV audio stream to an .mp3 file, unchanged. Whether a Xing VBR frame must
// stand in front is open until 65536 bytes have arrived (counting whole chunks), the stream's first
// frame turns out to be a Xing frame, or a bitrate change is seen. A change seen while the question is
// open puts a placeholder in front of everything written so far, and Finish replaces it with the real
// Xing frame (frame count, byte count, table of contents); a later change is only a warning.
//
// Chunks are written through as they come, never held in memory: inserting the placeholder moves the
// bytes already written up by the frame's size within the file. A chunk may also be given in pieces
// (BeginChunk, WritePiece..., EndChunk), so even a tag of many megabytes needs no more memory than one
// piece; the frame walk keeps only the first 40 bytes of the frame it is looking at.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "convert/file_io.h"
#include "convert/record_spool.h"
#include "convert/writers.h"

namespace morvalin {

class MP3Writer final : public IAudioWriter {
 public:
  // The writer adds its warnings to `warnings`, which must outlive it.
  MP3Writer(std::filesystem::path path, Warnings& warnings);
  // Creates the output file (an existing one is truncated).
  Status Open();

  Status Finish() override;
  std::optional<std::filesystem::path> Path() const override { return path_; }

  Status BeginChunk(uint32_t size, uint32_t time_stamp) override;
  Status WritePiece(std::span<const uint8_t> piece) override;
  Status EndChunk() override;

  // Layer III frame length in bytes.
  static int GetFrameLength(int mpeg_version, int bit_rate, int sample_rate, int padding);
  // Offset of the data behind the side information, where a Xing tag stands.
  static int GetFrameDataOffset(int mpeg_version, int channel_mode);

 private:
  // Walks the frames whose first bytes lie in `piece` (the chunk's bytes from chunk_received_ on).
  Status ParseMP3Frames(std::span<const uint8_t> piece);
  Status TakeFrame();
  Status WriteVBRHeader(bool placeholder);
  Status InsertPlaceholder();
  int XingFrameSize() const;
  bool KeepsFrameOffsets() const { return delay_write_ || write_vbr_header_; }

  std::filesystem::path path_;
  OutputFile fs_;
  Warnings& warnings_;
  // Offsets of recognised frames from the start of the audio data (4 bytes each, spooled); kept only
  // while a Xing frame may still need its table of contents, otherwise only counted.
  RecordSpool frame_offsets_{4};
  uint32_t frame_count_ = 0;
  uint32_t total_frame_length_ = 0;  // bytes of all completed chunks
  bool is_vbr_ = false;
  bool delay_write_ = true;  // the Xing question is still open
  bool has_vbr_header_ = false;
  bool write_vbr_header_ = false;
  int first_bit_rate_ = 0;
  int mpeg_version_ = 0;
  int sample_rate_ = 0;
  int channel_mode_ = 0;
  uint32_t first_frame_header_ = 0;

  // The chunk being received.
  uint32_t chunk_size_ = 0;
  uint32_t chunk_received_ = 0;
  uint32_t next_frame_ = 0;  // offset in the chunk of the frame the walk looks at
  bool walking_ = false;
  std::vector<uint8_t> window_;  // that frame's first bytes, as far as they have arrived
};

}  // namespace morvalin
