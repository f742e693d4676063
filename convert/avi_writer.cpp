#include "convert/avi_writer.h"

#include <algorithm>

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

Status AVIWriter::BeginChunk(uint32_t size, uint32_t /*time_stamp*/, int frame_type) {
  chunk_size_ = size;
  key_frame_ = frame_type == flv::kFrameTypeKey;
  prefix_size_ = codec_id_ == flv::kCodecSorensonH263 ? 0 : codec_id_ == flv::kCodecVp6 ? 1 : 4;
  prefix_.clear();
  picture_head_.clear();
  alpha_head_.clear();
  started_ = false;
  // A chunk too short for its prefix carries empty frames.
  if (prefix_size_ == 0 || size < prefix_size_) return StartFrames();
  return {};
}

Status AVIWriter::StartFrames() {
  started_ = true;
  uint32_t body = chunk_size_ >= prefix_size_ ? chunk_size_ - static_cast<uint32_t>(prefix_size_) : 0;
  picture_left_ = body;
  alpha_left_ = 0;
  if (alpha_ != nullptr && prefix_.size() == 4) {
    picture_left_ = std::min(BitConverterBE::ToUInt24(prefix_.data() + 1), body);
    alpha_left_ = body - picture_left_;
  }
  MORVALIN_RETURN_IF_ERROR(video_.BeginFrame(picture_left_, key_frame_));
  if (alpha_ != nullptr) MORVALIN_RETURN_IF_ERROR(alpha_->BeginFrame(alpha_left_, key_frame_));
  return {};
}

// Passes the next bytes of `bytes` (at most *left) on to `file`, keeping the frame's first bytes.
Status AVIWriter::PassOn(std::span<const uint8_t>& bytes, uint32_t* left, AviFile& file,
                         std::vector<uint8_t>& head) {
  constexpr size_t kHeadBytes = 16;  // enough for either picture header
  size_t take = std::min<size_t>(*left, bytes.size());
  std::span<const uint8_t> part = bytes.first(take);
  size_t keep = std::min(kHeadBytes - std::min(head.size(), kHeadBytes), take);
  head.insert(head.end(), part.begin(), part.begin() + static_cast<std::ptrdiff_t>(keep));
  *left -= static_cast<uint32_t>(take);
  bytes = bytes.subspan(take);
  return file.WriteFramePiece(part);
}

Status AVIWriter::WritePiece(std::span<const uint8_t> piece) {
  while (!piece.empty() && prefix_.size() < prefix_size_) {
    prefix_.push_back(piece[0]);
    piece = piece.subspan(1);
    if (prefix_.size() == 1 && !have_adjustment_) {  // pixels to crop right and bottom
      have_adjustment_ = true;
      crop_right_ = prefix_[0] >> 4;
      crop_bottom_ = prefix_[0] & 0x0F;
    }
    if (prefix_.size() == prefix_size_) MORVALIN_RETURN_IF_ERROR(StartFrames());
  }
  if (!started_) return {};
  MORVALIN_RETURN_IF_ERROR(PassOn(piece, &picture_left_, video_, picture_head_));
  if (alpha_ != nullptr) MORVALIN_RETURN_IF_ERROR(PassOn(piece, &alpha_left_, *alpha_, alpha_head_));
  return {};
}

Status AVIWriter::EndChunk() {
  if (!started_) MORVALIN_RETURN_IF_ERROR(StartFrames());
  MORVALIN_RETURN_IF_ERROR(video_.EndFrame());
  if (alpha_ != nullptr) MORVALIN_RETURN_IF_ERROR(alpha_->EndFrame());
  uint32_t w, h;
  bool h263 = codec_id_ == flv::kCodecSorensonH263;
  if (key_frame_ && !video_.HasSize() &&
      (h263 ? ReadH263Size(picture_head_, &w, &h) : ReadVP6Size(picture_head_, &w, &h))) {
    video_.SetSize(w, h);
  }
  if (alpha_ != nullptr && key_frame_ && !alpha_->HasSize() && ReadVP6Size(alpha_head_, &w, &h)) {
    alpha_->SetSize(w, h);
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
