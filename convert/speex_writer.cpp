#include "convert/speex_writer.h"

#include <cstring>
#include <string_view>

#include "convert/bit_converter.h"
#include "convert/flv_format.h"
#include "convert/ogg_crc.h"

namespace morvalin {

namespace {

constexpr std::string_view kVendor = "Kestrovan";

std::vector<uint8_t> SpeexHeaderPacket() {
  std::vector<uint8_t> p;
  for (char c : std::string_view("Speex   ")) p.push_back(static_cast<uint8_t>(c));
  char version[20] = "1.2";
  p.insert(p.end(), version, version + sizeof version);
  BitConverterLE::Append32(p, 1);                    // header version
  BitConverterLE::Append32(p, speex::kHeaderSize);   // header size
  BitConverterLE::Append32(p, speex::kSampleRate);   // rate
  BitConverterLE::Append32(p, speex::kModeWideband); // mode
  BitConverterLE::Append32(p, 4);                    // mode bitstream version
  BitConverterLE::Append32(p, 1);                    // channels
  BitConverterLE::Append32(p, 0xFFFFFFFF);           // bitrate unknown (-1)
  BitConverterLE::Append32(p, speex::kFrameSamples); // frame size
  BitConverterLE::Append32(p, 0);                    // vbr
  BitConverterLE::Append32(p, 1);                    // frames per packet
  BitConverterLE::Append32(p, 0);                    // extra headers
  BitConverterLE::Append32(p, 0);                    // reserved
  BitConverterLE::Append32(p, 0);                    // reserved
  return p;
}

// Vendor string with its length, then a count of zero user comments.
std::vector<uint8_t> CommentPacket() {
  std::vector<uint8_t> p(4 + kVendor.size() + 4, 0);
  BitConverterLE::Put32(p.data(), static_cast<uint32_t>(kVendor.size()));
  std::memcpy(p.data() + 4, kVendor.data(), kVendor.size());
  return p;
}

// Lacing values of one packet: 255 for each full segment, then the remainder (possibly 0).
void AppendLacing(std::vector<uint8_t>& lacing, size_t size) {
  lacing.insert(lacing.end(), size / 255, 255);
  lacing.push_back(static_cast<uint8_t>(size % 255));
}

}  // namespace

Status SpeexWriter::Open() {
  MORVALIN_RETURN_IF_ERROR(fs_.Create(path_));
  std::vector<uint8_t> lacing;
  std::vector<uint8_t> header = SpeexHeaderPacket();
  AppendLacing(lacing, header.size());
  MORVALIN_RETURN_IF_ERROR(WritePage(ogg::kFlagFirstPage, 0, lacing, header));
  lacing.clear();
  std::vector<uint8_t> comment = CommentPacket();
  AppendLacing(lacing, comment.size());
  return WritePage(0, 0, lacing, comment);
}

Status SpeexWriter::WritePage(uint8_t flags, uint64_t granule, std::span<const uint8_t> lacing,
                              std::span<const uint8_t> data) {
  std::vector<uint8_t> page(ogg::kPageHeaderSize + lacing.size() + data.size());
  std::memcpy(page.data(), "OggS", 4);
  page[4] = 0;  // stream structure version
  page[5] = flags;
  BitConverterLE::Put64(page.data() + 6, granule);
  BitConverterLE::Put32(page.data() + 14, serial_);
  BitConverterLE::Put32(page.data() + 18, page_sequence_++);
  // bytes 22..25: checksum, zero while it is computed
  page[26] = static_cast<uint8_t>(lacing.size());
  std::memcpy(page.data() + ogg::kPageHeaderSize, lacing.data(), lacing.size());
  if (!data.empty()) std::memcpy(page.data() + ogg::kPageHeaderSize + lacing.size(), data.data(), data.size());
  BitConverterLE::Put32(page.data() + 22, OggCrc(page));
  return fs_.Write(page);
}

Status SpeexWriter::FlushPage(uint8_t flags) {
  Status written = WritePage(flags, granule_, page_lacing_, page_data_);
  page_lacing_.clear();
  page_data_.clear();
  return written;
}

// Each chunk is one packet; its size is known before its bytes, so the page it goes on is settled first
// and the bytes go straight into that page.
Status SpeexWriter::BeginChunk(uint32_t size, uint32_t /*time_stamp*/) {
  if (size == 0) return Status::Error("Invalid Speex data.");
  if (size > static_cast<uint32_t>(ogg::kMaxPacketSize)) return Status::Error("Packet exceeds maximum size.");
  size_t segments = size / 255 + 1;
  if (!page_data_.empty() && (page_data_.size() + size > static_cast<size_t>(ogg::kPageDataTarget) ||
                              page_lacing_.size() + segments > static_cast<size_t>(ogg::kMaxSegments))) {
    MORVALIN_RETURN_IF_ERROR(FlushPage(0));
  }
  AppendLacing(page_lacing_, size);
  return {};
}

Status SpeexWriter::WritePiece(std::span<const uint8_t> piece) {
  page_data_.insert(page_data_.end(), piece.begin(), piece.end());
  return {};
}

Status SpeexWriter::EndChunk() {
  granule_ += speex::kFrameSamples;
  return {};
}

Status SpeexWriter::Finish() {
  MORVALIN_RETURN_IF_ERROR(FlushPage(ogg::kFlagLastPage));
  return fs_.Close();
}

}  // namespace morvalin
