// Writes FLV Speex audio (16 kHz wideband, one 20 ms frame of 320 samples per packet) as an Ogg Speex
// stream: a header page, a comment page, then audio pages of about 4096 data bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "convert/file_io.h"
#include "convert/writers.h"

namespace morvalin {

class SpeexWriter final : public IAudioWriter {
 public:
  SpeexWriter(std::filesystem::path path, uint32_t serial_number)
      : path_(std::move(path)), serial_(serial_number) {}
  // Creates the file and writes the header and comment pages.
  Status Open();

  Status BeginChunk(uint32_t size, uint32_t time_stamp) override;
  Status WritePiece(std::span<const uint8_t> piece) override;
  Status EndChunk() override;
  Status Finish() override;
  std::optional<std::filesystem::path> Path() const override { return path_; }

 private:
  Status WritePage(uint8_t flags, uint64_t granule, std::span<const uint8_t> lacing,
                   std::span<const uint8_t> data);
  Status FlushPage(uint8_t flags);

  std::filesystem::path path_;
  uint32_t serial_;
  OutputFile fs_;
  uint32_t page_sequence_ = 0;
  uint64_t granule_ = 0;  // samples of all packets added so far
  std::vector<uint8_t> page_lacing_;
  std::vector<uint8_t> page_data_;
};

}  // namespace morvalin
