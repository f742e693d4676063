// Writes FLV Sorenson H.263 ("FLV1") or VP6 ("VP6F") video into an AVI file; the alpha channel of VP6
// with alpha goes to a second file "<base>.alpha.avi". The frame size comes from the first key frame;
// VP6's adjustment byte becomes a cropping suggestion among the warnings. Chunks pass through in pieces:
// only the few bytes in front of a VP6 frame and the start of each frame (for its size) are kept.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "convert/avi_file.h"
#include "convert/writers.h"

namespace morvalin {

class AVIWriter final : public IVideoWriter {
 public:
  // `path_base` is the output path without extension. `warnings` must outlive the writer.
  AVIWriter(std::filesystem::path path_base, int codec_id, Warnings& warnings);
  // Creates the file(s): "Unsupported video codec." for a codec other than 2, 4 and 5.
  Status Open();

  Status BeginChunk(uint32_t size, uint32_t time_stamp, int frame_type) override;
  Status WritePiece(std::span<const uint8_t> piece) override;
  Status EndChunk() override;
  Status Finish(FractionUInt32 average_frame_rate) override;
  std::optional<std::filesystem::path> Path() const override { return path_; }
  std::optional<std::filesystem::path> AlphaPath() const override;

  // Frame size from a key frame's picture header; false when it cannot be read.
  static bool ReadH263Size(std::span<const uint8_t> frame, uint32_t* width, uint32_t* height);
  static bool ReadVP6Size(std::span<const uint8_t> frame, uint32_t* width, uint32_t* height);

 private:
  // Begins the picture (and alpha) frame once the bytes in front of them are known.
  Status StartFrames();
  Status PassOn(std::span<const uint8_t>& bytes, uint32_t* left, AviFile& file, std::vector<uint8_t>& head);

  std::filesystem::path path_;
  std::filesystem::path alpha_path_;
  int codec_id_;
  Warnings& warnings_;
  AviFile video_;
  std::unique_ptr<AviFile> alpha_;
  bool have_adjustment_ = false;
  int crop_right_ = 0;
  int crop_bottom_ = 0;

  // The chunk being received: a prefix (VP6: adjustment byte; with alpha also the alpha offset), then
  // the picture frame, then the alpha frame.
  uint32_t chunk_size_ = 0;
  bool key_frame_ = false;
  size_t prefix_size_ = 0;
  std::vector<uint8_t> prefix_;
  bool started_ = false;
  uint32_t picture_left_ = 0;
  uint32_t alpha_left_ = 0;
  std::vector<uint8_t> picture_head_;
  std::vector<uint8_t> alpha_head_;
};

}  // namespace morvalin
