#include "convert/raw_h264_writer.h"

#include <algorithm>

#include "convert/bit_converter.h"
#include "convert/flv_format.h"

namespace morvalin {

namespace {
constexpr uint8_t kStartCode[] = {0, 0, 0, 1};
constexpr uint32_t kAvcPacketHeader = 4;         // packet type(1), composition time(3)
constexpr size_t kMaxConfigurationBytes = 1 << 20;  // far beyond any real record
}  // namespace

Status RawH264Writer::WriteNalUnit(std::span<const uint8_t> nal) {
  MORVALIN_RETURN_IF_ERROR(fs_.Write(kStartCode));
  return fs_.Write(nal);
}

// AVCDecoderConfigurationRecord: version, profile, compatibility, level, NAL length size - 1 (low two
// bits), SPS count (low five bits) with 16-bit sized SPS, PPS count with 16-bit sized PPS. A record that
// ends early yields the parameter sets it holds completely.
Status RawH264Writer::WriteConfiguration(std::span<const uint8_t> record) {
  if (record.size() < 6) return {};
  nal_length_size_ = (record[4] & 0x03) + 1;
  size_t at = 5;
  for (int list = 0; list < 2; ++list) {
    if (at >= record.size()) return {};
    int count = list == 0 ? (record[at] & 0x1F) : record[at];
    ++at;
    for (int i = 0; i < count; ++i) {
      if (record.size() - at < 2) return {};
      size_t size = BitConverterBE::ToUInt16(record.data() + at);
      at += 2;
      if (record.size() - at < size) return {};
      MORVALIN_RETURN_IF_ERROR(WriteNalUnit(record.subspan(at, size)));
      at += size;
    }
  }
  return {};
}

Status RawH264Writer::BeginChunk(uint32_t size, uint32_t /*time_stamp*/, int /*frame_type*/) {
  chunk_size_ = size;
  received_ = 0;
  packet_type_ = -1;
  configuration_.clear();
  dropping_ = false;
  length_bytes_left_ = 0;
  unit_left_ = 0;
  return {};
}

Status RawH264Writer::WriteFrameBytes(std::span<const uint8_t> bytes) {
  while (!bytes.empty() && !dropping_) {
    if (unit_left_ > 0) {
      size_t take = std::min<size_t>(unit_left_, bytes.size());
      MORVALIN_RETURN_IF_ERROR(fs_.Write(bytes.first(take)));
      unit_left_ -= static_cast<uint32_t>(take);
      received_ += static_cast<uint32_t>(take);
      bytes = bytes.subspan(take);
      continue;
    }
    if (length_bytes_left_ == 0) {  // a new unit: its length field must fit in the frame
      if (chunk_size_ - received_ < static_cast<uint32_t>(nal_length_size_)) {
        dropping_ = true;
        break;
      }
      length_bytes_left_ = nal_length_size_;
      unit_length_ = 0;
    }
    unit_length_ = (unit_length_ << 8) | bytes[0];
    bytes = bytes.subspan(1);
    ++received_;
    if (--length_bytes_left_ == 0) {
      if (unit_length_ > chunk_size_ - received_) {  // runs past the frame: dropped
        dropping_ = true;
        break;
      }
      MORVALIN_RETURN_IF_ERROR(fs_.Write(kStartCode));
      unit_left_ = unit_length_;
    }
  }
  received_ += static_cast<uint32_t>(bytes.size());
  return {};
}

Status RawH264Writer::WritePiece(std::span<const uint8_t> piece) {
  while (!piece.empty() && received_ < kAvcPacketHeader) {
    if (received_ == 0) packet_type_ = piece[0];
    ++received_;
    piece = piece.subspan(1);
  }
  if (piece.empty()) return {};
  if (packet_type_ == flv::kAvcNalu) return WriteFrameBytes(piece);
  if (packet_type_ == flv::kAvcSequenceHeader) {
    size_t room = kMaxConfigurationBytes - std::min(configuration_.size(), kMaxConfigurationBytes);
    size_t take = std::min(room, piece.size());
    configuration_.insert(configuration_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(take));
  }
  received_ += static_cast<uint32_t>(piece.size());
  return {};
}

Status RawH264Writer::EndChunk() {
  if (packet_type_ == flv::kAvcSequenceHeader && received_ >= kAvcPacketHeader) {
    return WriteConfiguration(configuration_);
  }
  return {};  // frames are written as they come; end of sequence carries nothing
}

}  // namespace morvalin
