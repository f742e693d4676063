#include "convert/raw_h264_writer.h"

#include "convert/bit_converter.h"
#include "convert/flv_format.h"

namespace morvalin {

namespace {
constexpr uint8_t kStartCode[] = {0, 0, 0, 1};
constexpr size_t kAvcPacketHeader = 4;  // packet type(1), composition time(3)
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

Status RawH264Writer::WriteFrame(std::span<const uint8_t> data) {
  size_t at = 0;
  size_t length_size = static_cast<size_t>(nal_length_size_);
  while (data.size() - at >= length_size) {
    size_t size = 0;
    for (size_t i = 0; i < length_size; ++i) size = (size << 8) | data[at + i];
    at += length_size;
    if (size > data.size() - at) break;  // a unit that runs past the frame is dropped
    MORVALIN_RETURN_IF_ERROR(WriteNalUnit(data.subspan(at, size)));
    at += size;
  }
  return {};
}

Status RawH264Writer::WriteChunk(std::span<const uint8_t> chunk, uint32_t /*time_stamp*/, int /*frame_type*/) {
  if (chunk.size() < kAvcPacketHeader) return {};
  std::span<const uint8_t> body = chunk.subspan(kAvcPacketHeader);
  if (chunk[0] == flv::kAvcSequenceHeader) return WriteConfiguration(body);
  if (chunk[0] == flv::kAvcNalu) return WriteFrame(body);
  return {};  // end of sequence
}

}  // namespace morvalin
