// One single-stream video AVI file: the header is written with placeholders when the file is created
// and rewritten by Finish; frames go into the 'movi' list; the 'idx1' index is spooled to a temporary
// file while frames arrive, so memory does not grow with the length of the video.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/file_io.h"
#include "convert/flv_format.h"
#include "convert/fraction_uint32.h"
#include "convert/record_spool.h"

namespace morvalin {

class AviFile {
 public:
  AviFile() = default;
  AviFile(const AviFile&) = delete;
  AviFile& operator=(const AviFile&) = delete;

  // `fourcc` must be four characters, else "Invalid FourCC length.".
  Status Create(const std::filesystem::path& path, const std::string& fourcc);
  // A frame in parts: its size first, then exactly that many bytes, then EndFrame.
  Status BeginFrame(uint32_t size, bool key_frame);
  Status WriteFramePiece(std::span<const uint8_t> bytes) { return fs_.Write(bytes); }
  Status EndFrame();
  void SetSize(uint32_t width, uint32_t height) {
    width_ = width;
    height_ = height;
  }
  bool HasSize() const { return width_ != 0 && height_ != 0; }
  Status Finish(FractionUInt32 frame_rate);

 private:
  Status WriteHeader(FractionUInt32 frame_rate);

  std::filesystem::path path_;
  uint8_t fourcc_[4] = {};
  OutputFile fs_;
  RecordSpool index_{avi::kIndexEntrySize};  // 'idx1' entries
  uint32_t frame_count_ = 0;
  uint32_t max_frame_size_ = 0;
  uint32_t frame_size_ = 0;  // of the frame being written
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint64_t movi_bytes_ = 0;  // bytes of frame chunks in the 'movi' list
};

}  // namespace morvalin
