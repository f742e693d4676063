#include "convert/avi_writer.h"

#include "convert/bit_converter.h"
#include "convert/flv_format.h"

namespace morvalin {

AVIWriter::AVIWriter(std::filesystem::path path_base, int codec_id, Warnings& warnings)
    : path_(path_base.string() + ".avi"), alpha_path_(path_base.string() + ".alpha.avi"),
      codec_id_(codec_id), warnings_(warnings) {}

std::optional<std::filesystem::path> AVIWriter::AlphaPath() const {
  if (codec_id_ == flv::kCodecVp6Alpha) return alpha_path_;
  return std::nullopt;
}

Status AVIWriter::Open() {
  std::string fourcc;
  if (codec_id_ == flv::kCodecSorensonH263) {
    fourcc = "FLV1";
  } else if (codec_id_ == flv::kCodecVp6 || codec_id_ == flv::kCodecVp6Alpha) {
    fourcc = "VP6F";
  } else {
    return Status::Error("Unsupported video codec.");
  }
  MORVALIN_RETURN_IF_ERROR(video_.Create(path_, fourcc));
  if (codec_id_ == flv::kCodecVp6Alpha) {
    alpha_ = std::make_unique<AviFile>();
    MORVALIN_RETURN_IF_ERROR(alpha_->Create(alpha_path_, fourcc));
  }
  return {};
}

bool AVIWriter::ReadH263Size(std::span<const uint8_t> frame, uint32_t* width, uint32_t* height) {
  BitHelper bits(frame);
  if (bits.Read(17) != 1) return false;  // picture start code
  bits.Skip(5 + 8);                      // version, temporal reference
  static constexpr uint32_t kSizes[][2] = {{352, 288}, {176, 144}, {128, 96}, {320, 240}, {160, 120}};
  uint32_t format = bits.Read(3);
  if (format == 0 || format == 1) {
    int field_bits = format == 0 ? 8 : 16;
    *width = bits.Read(field_bits);
    *height = bits.Read(field_bits);
  } else if (format <= 6) {
    *width = kSizes[format - 2][0];
    *height = kSizes[format - 2][1];
  } else {
    return false;
  }
  return !bits.Overrun() && *width != 0 && *height != 0;
}

bool AVIWriter::ReadVP6Size(std::span<const uint8_t> frame, uint32_t* width, uint32_t* height) {
  if (frame.size() < 2 || (frame[0] & 0x80) != 0) return false;  // not an intra frame
  bool separated_coefficients = (frame[0] & 0x01) != 0;
  int filter_profile = (frame[1] >> 1) & 0x03;
  size_t at = 2;
  if (separated_coefficients || filter_profile == 0) at += 2;  // coefficient partition offset
  if (frame.size() < at + 2) return false;
  *height = uint32_t{frame[at]} * 16;  // macroblock rows
  *width = uint32_t{frame[at + 1]} * 16;  // macroblock columns
  return *width != 0 && *height != 0;
}

Status AVIWriter::WriteChunk(std::span<const uint8_t> chunk, uint32_t /*time_stamp*/, int frame_type) {
  bool key_frame = frame_type == flv::kFrameTypeKey;
  if (codec_id_ == flv::kCodecSorensonH263) {
    if (key_frame && !video_.HasSize()) {
      uint32_t w, h;
      if (ReadH263Size(chunk, &w, &h)) video_.SetSize(w, h);
    }
    return video_.WriteFrame(chunk, key_frame);
  }

  // VP6: an adjustment byte (pixels to crop right and bottom), then for VP6 with alpha a 24-bit offset
  // of the alpha frame, which follows the picture frame.
  if (chunk.empty()) return video_.WriteFrame(chunk, key_frame);
  if (!have_adjustment_) {
    have_adjustment_ = true;
    crop_right_ = chunk[0] >> 4;
    crop_bottom_ = chunk[0] & 0x0F;
  }
  std::span<const uint8_t> picture = chunk.subspan(1);
  std::span<const uint8_t> alpha;
  if (codec_id_ == flv::kCodecVp6Alpha) {
    if (picture.size() >= 3) {
      size_t alpha_offset = BitConverterBE::ToUInt24(picture.data());
      picture = picture.subspan(3);
      if (alpha_offset > picture.size()) alpha_offset = picture.size();
      alpha = picture.subspan(alpha_offset);
      picture = picture.first(alpha_offset);
    } else {
      picture = {};
    }
  }
  if (key_frame && !video_.HasSize()) {
    uint32_t w, h;
    if (ReadVP6Size(picture, &w, &h)) video_.SetSize(w, h);
  }
  MORVALIN_RETURN_IF_ERROR(video_.WriteFrame(picture, key_frame));
  if (alpha_ != nullptr) {
    if (key_frame && !alpha_->HasSize()) {
      uint32_t w, h;
      if (ReadVP6Size(alpha, &w, &h)) alpha_->SetSize(w, h);
    }
    MORVALIN_RETURN_IF_ERROR(alpha_->WriteFrame(alpha, key_frame));
  }
  return {};
}

Status AVIWriter::Finish(FractionUInt32 average_frame_rate) {
  if (crop_right_ != 0 || crop_bottom_ != 0) {
    warnings_.push_back("Suggested cropping: " + std::to_string(crop_right_) + " pixels from right, " +
                        std::to_string(crop_bottom_) + " pixels from bottom.");
  }
  Status video = video_.Finish(average_frame_rate);
  if (alpha_ != nullptr) {
    Status alpha = alpha_->Finish(average_frame_rate);
    if (video.ok()) return alpha;
  }
  return video;
}

}  // namespace morvalin
