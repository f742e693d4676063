// Writes FLV Sorenson H.263 ("FLV1") or VP6 ("VP6F") video into an AVI file; the alpha channel of VP6
// with alpha goes to a second file "<base>.alpha.avi". The frame size comes from the first key frame;
// VP6's adjustment byte becomes a cropping suggestion among the warnings.
#pragma once

#include <filesystem>
#include <memory>

#include "convert/avi_file.h"
#include "convert/writers.h"

namespace morvalin {

class AVIWriter final : public IVideoWriter {
 public:
  // `path_base` is the output path without extension. `warnings` must outlive the writer.
  AVIWriter(std::filesystem::path path_base, int codec_id, Warnings& warnings);
  // Creates the file(s): "Unsupported video codec." for a codec other than 2, 4 and 5.
  Status Open();

  Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp, int frame_type) override;
  Status Finish(FractionUInt32 average_frame_rate) override;
  std::optional<std::filesystem::path> Path() const override { return path_; }
  std::optional<std::filesystem::path> AlphaPath() const override;

  // Frame size from a key frame's picture header; false when it cannot be read.
  static bool ReadH263Size(std::span<const uint8_t> frame, uint32_t* width, uint32_t* height);
  static bool ReadVP6Size(std::span<const uint8_t> frame, uint32_t* width, uint32_t* height);

 private:
  std::filesystem::path path_;
  std::filesystem::path alpha_path_;
  int codec_id_;
  Warnings& warnings_;
  AviFile video_;
  std::unique_ptr<AviFile> alpha_;
  bool have_adjustment_ = false;
  int crop_right_ = 0;
  int crop_bottom_ = 0;
};

}  // namespace morvalin
