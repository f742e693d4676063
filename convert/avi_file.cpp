#include "convert/avi_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "convert/bit_converter.h"
#include "convert/flv_format.h"

namespace morvalin {

namespace {

using avi::kAvihSize;
using avi::kHasIndexFlag;
using avi::kHdrlListSize;
using avi::kIndexEntrySize;
using avi::kKeyFrameFlag;
using avi::kStrfSize;
using avi::kStrhSize;
using avi::kStrlListSize;

void Tag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }
void U32(std::vector<uint8_t>& out, uint64_t v) {
  BitConverterLE::Append32(out, static_cast<uint32_t>(std::min<uint64_t>(v, UINT32_MAX)));
}
void U16(std::vector<uint8_t>& out, uint16_t v) { BitConverterLE::Append16(out, v); }

}  // namespace

Status AviFile::Create(const std::filesystem::path& path, const std::string& fourcc) {
  if (fourcc.size() != 4) return Status::Error("Invalid FourCC length.");
  path_ = path;
  std::memcpy(fourcc_, fourcc.data(), 4);
  MORVALIN_RETURN_IF_ERROR(fs_.Create(path));
  return WriteHeader(FractionUInt32{25, 1});
}

Status AviFile::WriteHeader(FractionUInt32 rate) {
  uint64_t index_bytes = uint64_t{frame_count_} * kIndexEntrySize;
  uint64_t riff_size = 4 + 8 + kHdrlListSize + 8 + 4 + movi_bytes_ + 8 + index_bytes;
  uint32_t micro_sec_per_frame = rate.N == 0 ? 0 : static_cast<uint32_t>(uint64_t{1000000} * rate.D / rate.N);
  std::vector<uint8_t> h;
  Tag(h, "RIFF"); U32(h, riff_size); Tag(h, "AVI ");
  Tag(h, "LIST"); U32(h, kHdrlListSize); Tag(h, "hdrl");
  Tag(h, "avih"); U32(h, kAvihSize);
  U32(h, micro_sec_per_frame);
  U32(h, 0);              // max bytes per second
  U32(h, 0);              // padding granularity
  U32(h, kHasIndexFlag);  // flags
  U32(h, frame_count_);
  U32(h, 0);  // initial frames
  U32(h, 1);  // streams
  U32(h, max_frame_size_);
  U32(h, width_);
  U32(h, height_);
  for (int i = 0; i < 4; ++i) U32(h, 0);
  Tag(h, "LIST"); U32(h, kStrlListSize); Tag(h, "strl");
  Tag(h, "strh"); U32(h, kStrhSize);
  Tag(h, "vids");
  h.insert(h.end(), fourcc_, fourcc_ + 4);
  U32(h, 0);  // flags
  U16(h, 0);  // priority
  U16(h, 0);  // language
  U32(h, 0);  // initial frames
  U32(h, rate.D);  // scale
  U32(h, rate.N);  // rate
  U32(h, 0);       // start
  U32(h, frame_count_);
  U32(h, max_frame_size_);
  U32(h, 0xFFFFFFFF);  // quality: default
  U32(h, 0);           // sample size
  U16(h, 0); U16(h, 0);
  U16(h, static_cast<uint16_t>(width_)); U16(h, static_cast<uint16_t>(height_));
  Tag(h, "strf"); U32(h, kStrfSize);
  U32(h, kStrfSize);
  U32(h, width_);
  U32(h, height_);
  U16(h, 1);   // planes
  U16(h, 24);  // bit count
  h.insert(h.end(), fourcc_, fourcc_ + 4);
  U32(h, uint64_t{width_} * height_ * 3);
  for (int i = 0; i < 4; ++i) U32(h, 0);
  Tag(h, "LIST"); U32(h, 4 + movi_bytes_); Tag(h, "movi");
  return fs_.Write(h);
}

Status AviFile::BeginFrame(uint32_t size, bool key_frame) {
  std::vector<uint8_t> entry;
  Tag(entry, "00dc");
  U32(entry, key_frame ? kKeyFrameFlag : 0);
  U32(entry, 4 + movi_bytes_);  // from the 'movi' tag
  U32(entry, size);
  MORVALIN_RETURN_IF_ERROR(index_.Append(entry));
  frame_size_ = size;
  std::vector<uint8_t> chunk_header;
  Tag(chunk_header, "00dc");
  U32(chunk_header, size);
  return fs_.Write(chunk_header);
}

Status AviFile::EndFrame() {
  if (frame_size_ & 1u) {  // chunks are padded to an even size
    const uint8_t pad = 0;
    MORVALIN_RETURN_IF_ERROR(fs_.Write({&pad, 1}));
  }
  movi_bytes_ += 8 + frame_size_ + (frame_size_ & 1u);
  ++frame_count_;
  max_frame_size_ = std::max(max_frame_size_, frame_size_);
  return {};
}

Status AviFile::Finish(FractionUInt32 frame_rate) {
  if (!fs_.IsOpen()) return fs_.Close();
  std::vector<uint8_t> index_header;
  Tag(index_header, "idx1");
  U32(index_header, uint64_t{frame_count_} * kIndexEntrySize);
  MORVALIN_RETURN_IF_ERROR(fs_.Write(index_header));
  MORVALIN_RETURN_IF_ERROR(index_.CopyTo(fs_));
  index_.Clear();
  MORVALIN_RETURN_IF_ERROR(fs_.SeekTo(0));
  MORVALIN_RETURN_IF_ERROR(WriteHeader(frame_rate));
  return fs_.Close();
}

}  // namespace morvalin
