#include "convert/aac_writer.h"

#include <algorithm>
#include <array>

#include "convert/bit_converter.h"
#include "convert/flv_format.h"

namespace morvalin {

Status AACWriter::ReadConfig(std::span<const uint8_t> config) {
  BitHelper bits(config);
  int object_type = static_cast<int>(bits.Read(5));
  int sample_rate_index = static_cast<int>(bits.Read(4));
  int channel_config = static_cast<int>(bits.Read(4));
  int profile = object_type - 1;
  if (profile < 0 || profile > aac::kMaxProfile) return Status::Error("Unsupported AAC profile.");
  if (sample_rate_index > aac::kMaxSampleRateIndex) return Status::Error("Invalid AAC sample rate index.");
  if (channel_config > aac::kMaxChannelConfig) return Status::Error("Invalid AAC channel configuration.");
  profile_ = profile;
  sample_rate_index_ = sample_rate_index;
  channel_config_ = channel_config;
  return {};
}

Status AACWriter::BeginChunk(uint32_t size, uint32_t /*time_stamp*/) {
  chunk_size_ = size;
  chunk_.clear();
  return {};
}

Status AACWriter::WritePiece(std::span<const uint8_t> piece) {
  size_t room = aac::kMaxAdtsFrameLength - std::min<size_t>(chunk_.size(), aac::kMaxAdtsFrameLength);
  size_t take = std::min(room, piece.size());
  chunk_.insert(chunk_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(take));
  return {};
}

Status AACWriter::EndChunk() {
  if (chunk_size_ == 0) return {};
  if (chunk_[0] == flv::kAacSequenceHeader) return ReadConfig(std::span(chunk_).subspan(1));

  size_t frame_length = aac::kAdtsHeaderSize + (chunk_size_ - 1);
  if (frame_length > aac::kMaxAdtsFrameLength) return Status::Error("AAC frame too long for ADTS.");
  std::span<const uint8_t> payload = std::span(chunk_).subspan(1);
  std::array<uint8_t, aac::kAdtsHeaderSize> header{};
  size_t at = 0;
  BitHelper::Write(header, &at, 12, 0xFFF);  // sync word
  BitHelper::Write(header, &at, 1, 0);       // MPEG-4
  BitHelper::Write(header, &at, 2, 0);       // layer
  BitHelper::Write(header, &at, 1, 1);       // protection absent: no CRC
  BitHelper::Write(header, &at, 2, static_cast<uint32_t>(profile_));
  BitHelper::Write(header, &at, 4, static_cast<uint32_t>(sample_rate_index_));
  BitHelper::Write(header, &at, 1, 0);  // private bit
  BitHelper::Write(header, &at, 3, static_cast<uint32_t>(channel_config_));
  BitHelper::Write(header, &at, 4, 0);  // original, home, copyright id and start
  BitHelper::Write(header, &at, 13, static_cast<uint32_t>(frame_length));
  BitHelper::Write(header, &at, 11, 0x7FF);  // buffer fullness: variable
  BitHelper::Write(header, &at, 2, 0);       // one raw data block
  MORVALIN_RETURN_IF_ERROR(fs_.Write(header));
  return fs_.Write(payload);
}

}  // namespace morvalin
