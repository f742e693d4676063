#include "convert/mp3_writer.h"

#include <algorithm>
#include <utility>

#include "convert/bit_converter.h"
#include "convert/flv_format.h"

namespace morvalin {

namespace {

constexpr uint32_t kHoldBackBytes = 65536;
constexpr size_t kWindowSize = 40;  // header(4) + the largest side-information offset (32) + tag(4)
constexpr const char kLateVbrWarning[] = "Detected VBR too late, cannot add VBR header.";

struct FrameHeader {
  uint32_t sync, version, layer, protection, bit_rate_index, sampling_index, padding, channel_mode;

  static FrameHeader Split(uint32_t h) {
    return {h >> 21,         (h >> 19) & 3, (h >> 17) & 3, (h >> 16) & 1,
            (h >> 12) & 15,  (h >> 10) & 3, (h >> 9) & 1,  (h >> 6) & 3};
  }
  bool IsLayer3() const {
    return sync == 0x7FF && version != mp3::kVersionReserved && layer == mp3::kLayer3 &&
           bit_rate_index != 0 && bit_rate_index != 15 && sampling_index != 3;
  }
  int BitRate() const {
    const auto& table = version == mp3::kVersionMpeg1 ? mp3::kBitratesMpeg1 : mp3::kBitratesMpeg2;
    return table[bit_rate_index] * 1000;
  }
  int SampleRate() const {
    if (version == mp3::kVersionMpeg1) return mp3::kSampleRatesMpeg1[sampling_index];
    if (version == mp3::kVersionMpeg2) return mp3::kSampleRatesMpeg2[sampling_index];
    return mp3::kSampleRatesMpeg25[sampling_index];
  }
};

}  // namespace

MP3Writer::MP3Writer(std::filesystem::path path, Warnings& warnings)
    : path_(std::move(path)), warnings_(warnings) {}

Status MP3Writer::Open() { return fs_.Create(path_); }

int MP3Writer::GetFrameLength(int mpeg_version, int bit_rate, int sample_rate, int padding) {
  int factor = mpeg_version == mp3::kVersionMpeg1 ? 144 : 72;
  return factor * bit_rate / sample_rate + padding;
}

int MP3Writer::GetFrameDataOffset(int mpeg_version, int channel_mode) {
  bool mono = channel_mode == mp3::kChannelModeMono;
  if (mpeg_version == mp3::kVersionMpeg1) return 4 + (mono ? 17 : 32);
  return 4 + (mono ? 9 : 17);
}

Status MP3Writer::BeginChunk(uint32_t size, uint32_t /*time_stamp*/) {
  chunk_size_ = size;
  chunk_received_ = 0;
  next_frame_ = 0;
  walking_ = true;
  window_.clear();
  return {};
}

Status MP3Writer::WritePiece(std::span<const uint8_t> piece) {
  MORVALIN_RETURN_IF_ERROR(ParseMP3Frames(piece));
  chunk_received_ += static_cast<uint32_t>(piece.size());
  return fs_.Write(piece);
}

Status MP3Writer::EndChunk() {
  total_frame_length_ += chunk_size_;
  if (delay_write_ && total_frame_length_ >= kHoldBackBytes) delay_write_ = false;
  if (!KeepsFrameOffsets() && frame_offsets_.size() > 0) frame_offsets_.Clear();
  return {};
}

Status MP3Writer::ParseMP3Frames(std::span<const uint8_t> piece) {
  const uint32_t piece_end = chunk_received_ + static_cast<uint32_t>(piece.size());
  while (walking_) {
    if (chunk_size_ - next_frame_ < 4) {
      walking_ = false;
      break;
    }
    // A header and, for the first frame, a Xing tag at most 36 bytes behind it.
    size_t want = std::min<size_t>(kWindowSize, chunk_size_ - next_frame_);
    uint32_t from = next_frame_ + static_cast<uint32_t>(window_.size());
    if (from >= piece_end) break;  // the rest comes with the next piece
    size_t take = std::min<size_t>(want - window_.size(), piece_end - from);
    const uint8_t* source = piece.data() + (from - chunk_received_);
    window_.insert(window_.end(), source, source + take);
    if (window_.size() < want) break;
    MORVALIN_RETURN_IF_ERROR(TakeFrame());
  }
  return {};
}

// Looks at the frame whose first bytes are in window_: stops the walk at anything that is not a whole
// Layer III frame inside the chunk, otherwise records it and moves on to the next.
Status MP3Writer::TakeFrame() {
  uint32_t header = BitConverterBE::ToUInt32(window_.data());
  FrameHeader f = FrameHeader::Split(header);
  if (!f.IsLayer3()) {
    walking_ = false;
    return {};
  }
  int bit_rate = f.BitRate();
  int sample_rate = f.SampleRate();
  uint32_t frame_length = static_cast<uint32_t>(
      GetFrameLength(static_cast<int>(f.version), bit_rate, sample_rate, static_cast<int>(f.padding)));
  if (frame_length > chunk_size_ - next_frame_) {
    walking_ = false;
    return {};
  }

  bool is_xing_frame = false;
  if (frame_count_ == 0) {
    size_t o = static_cast<size_t>(
        GetFrameDataOffset(static_cast<int>(f.version), static_cast<int>(f.channel_mode)));
    if (o + 4 <= frame_length && BitConverterBE::ToUInt32(window_.data() + o) == mp3::kXingTag) {
      is_xing_frame = true;
      delay_write_ = false;
      has_vbr_header_ = true;
    }
  }
  if (!is_xing_frame) {
    if (first_bit_rate_ == 0) {
      first_bit_rate_ = bit_rate;
      mpeg_version_ = static_cast<int>(f.version);
      sample_rate_ = sample_rate;
      channel_mode_ = static_cast<int>(f.channel_mode);
      first_frame_header_ = header;
    } else if (bit_rate != first_bit_rate_ && !is_vbr_) {
      is_vbr_ = true;
      if (!has_vbr_header_) {
        if (delay_write_) {
          MORVALIN_RETURN_IF_ERROR(InsertPlaceholder());
          write_vbr_header_ = true;
          delay_write_ = false;
        } else {
          warnings_.push_back(kLateVbrWarning);
        }
      }
    }
  }
  if (KeepsFrameOffsets()) {
    uint8_t offset[4];
    BitConverterBE::Put32(offset, total_frame_length_ + next_frame_);
    MORVALIN_RETURN_IF_ERROR(frame_offsets_.Append(offset));
  }
  ++frame_count_;
  next_frame_ += frame_length;
  // A frame shorter than the window leaves the start of the next frame in it.
  if (frame_length < window_.size()) {
    window_.erase(window_.begin(), window_.begin() + frame_length);
  } else {
    window_.clear();
  }
  return {};
}

int MP3Writer::XingFrameSize() const {
  int factor = mpeg_version_ == mp3::kVersionMpeg1 ? 144 : 72;
  return factor * mp3::kXingBitrate / sample_rate_;
}

// Moves everything written so far up by the Xing frame's size and writes the zero placeholder in
// front, copying backwards through one bounded buffer.
Status MP3Writer::InsertPlaceholder() {
  const int64_t shift = XingFrameSize();
  const int64_t written = fs_.Position();
  std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(written, kFileBufferSize)));
  for (int64_t end = written; end > 0;) {
    int64_t start = std::max<int64_t>(0, end - static_cast<int64_t>(block.size()));
    std::span<uint8_t> part(block.data(), static_cast<size_t>(end - start));
    MORVALIN_RETURN_IF_ERROR(fs_.ReadAt(start, part));
    MORVALIN_RETURN_IF_ERROR(fs_.SeekTo(start + shift));
    MORVALIN_RETURN_IF_ERROR(fs_.Write(part));
    end = start;
  }
  MORVALIN_RETURN_IF_ERROR(fs_.SeekTo(0));
  MORVALIN_RETURN_IF_ERROR(WriteVBRHeader(true));
  return fs_.SeekTo(written + shift);
}

Status MP3Writer::WriteVBRHeader(bool placeholder) {
  std::vector<uint8_t> frame(static_cast<size_t>(XingFrameSize()), 0);
  if (!placeholder) {
    uint32_t bit_rate_index =
        mpeg_version_ == mp3::kVersionMpeg1 ? mp3::kXingBitrateIndexMpeg1 : mp3::kXingBitrateIndexMpeg2;
    uint32_t header = (first_frame_header_ & mp3::kXingHeaderMask) | (bit_rate_index << 12);
    BitConverterBE::Put32(frame.data(), header);
    uint8_t* xing = frame.data() + GetFrameDataOffset(mpeg_version_, channel_mode_);
    BitConverterBE::Put32(xing, mp3::kXingTag);
    BitConverterBE::Put32(xing + 4, mp3::kXingFlags);
    BitConverterBE::Put32(xing + 8, frame_count_);
    BitConverterBE::Put32(xing + 12, total_frame_length_);
    for (int i = 0; i < mp3::kXingTocEntries; ++i) {
      uint64_t entry = uint64_t{frame_count_} * static_cast<uint64_t>(i) / 100;
      uint64_t offset = 0;
      if (entry < frame_offsets_.size()) {
        uint8_t stored[4];
        MORVALIN_RETURN_IF_ERROR(frame_offsets_.Get(entry, stored));
        offset = BitConverterBE::ToUInt32(stored);
      }
      uint64_t scaled = total_frame_length_ == 0 ? 0 : offset * 256 / total_frame_length_;
      xing[16 + i] = static_cast<uint8_t>(scaled);
    }
  }
  return fs_.Write(frame);
}

Status MP3Writer::Finish() {
  if (write_vbr_header_) {
    MORVALIN_RETURN_IF_ERROR(fs_.SeekTo(0));
    MORVALIN_RETURN_IF_ERROR(WriteVBRHeader(false));
  }
  return fs_.Close();
}

}  // namespace morvalin
