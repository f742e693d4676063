#include "convert/wav_writer.h"

#include <algorithm>
#include <vector>

#include "convert/bit_converter.h"
#include "convert/flv_format.h"

namespace morvalin {

namespace {
using wav::kHeaderSize;
void AppendTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }
}  // namespace

Status WAVWriter::Open() {
  MORVALIN_RETURN_IF_ERROR(fs_.Create(path_));
  return WriteHeader();
}

Status WAVWriter::WriteHeader() {
  // RIFF sizes are 32-bit: a longer stream keeps the largest size that fits.
  uint32_t data_size = static_cast<uint32_t>(std::min<uint64_t>(data_size_, UINT32_MAX - kHeaderSize));
  std::vector<uint8_t> h;
  AppendTag(h, "RIFF");
  BitConverterLE::Append32(h, kHeaderSize - 8 + data_size);
  AppendTag(h, "WAVE");
  AppendTag(h, "fmt ");
  BitConverterLE::Append32(h, 16);
  BitConverterLE::Append16(h, 1);  // PCM
  BitConverterLE::Append16(h, static_cast<uint16_t>(channels_));
  BitConverterLE::Append32(h, sample_rate_);
  BitConverterLE::Append32(h, sample_rate_ * static_cast<uint32_t>(BlockAlign()));
  BitConverterLE::Append16(h, static_cast<uint16_t>(BlockAlign()));
  BitConverterLE::Append16(h, static_cast<uint16_t>(bits_per_sample_));
  AppendTag(h, "data");
  BitConverterLE::Append32(h, data_size);
  return fs_.Write(h);
}

Status WAVWriter::BeginChunk(uint32_t size, uint32_t /*time_stamp*/) {
  uint64_t block = static_cast<uint64_t>(BlockAlign());
  chunk_left_ = size / block * block;  // a part block at the end is dropped
  return {};
}

Status WAVWriter::WritePiece(std::span<const uint8_t> piece) {
  size_t take = static_cast<size_t>(std::min<uint64_t>(chunk_left_, piece.size()));
  chunk_left_ -= take;
  data_size_ += take;
  return fs_.Write(piece.first(take));
}

Status WAVWriter::Finish() {
  if (data_size_ % 2 != 0) {  // RIFF chunks are padded to an even size
    const uint8_t pad = 0;
    MORVALIN_RETURN_IF_ERROR(fs_.Write({&pad, 1}));
  }
  MORVALIN_RETURN_IF_ERROR(fs_.SeekTo(0));
  MORVALIN_RETURN_IF_ERROR(WriteHeader());
  return fs_.Close();
}

}  // namespace morvalin
