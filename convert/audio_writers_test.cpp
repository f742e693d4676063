// The bytes the audio writers other than MP3 produce: ADTS, Ogg Speex, RIFF WAVE.
#include <gtest/gtest.h>

#include "convert/aac_writer.h"
#include "convert/flv_test_support.h"
#include "convert/speex_writer.h"
#include "convert/wav_writer.h"

namespace morvalin {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::LE16;
using testing::LE32;
using testing::Text;

TEST(AACWriterTest, RawFramesGetAnAdtsHeaderFromTheConfiguration) {
  testing::TempDir dir;
  AACWriter writer(dir / "a.aac");
  ASSERT_TRUE(writer.Open().ok());
  // AudioSpecificConfig 0x12 0x10: object type 2 (LC), index 4 (44100 Hz), 2 channels.
  ASSERT_TRUE(writer.WriteChunk(Bytes{0, 0x12, 0x10}, 0).ok());
  Bytes payload(93, 0xAB);
  ASSERT_TRUE(writer.WriteChunk(Concat({{1}, payload}), 0).ok());
  ASSERT_TRUE(writer.Finish().ok());
  // frame length 100 = 0b0000_0110_0100_ over bits 30..42
  Bytes header = {0xFF, 0xF1, 0x50, 0x80, 0x0C, 0x9F, 0xFC};
  EXPECT_EQ(testing::ReadFile(dir / "a.aac"), Concat({header, payload}));
}

TEST(AACWriterTest, InvalidConfigurationsAreErrors) {
  struct Case {
    Bytes config;
    const char* error;
  };
  const Case cases[] = {
      {{0, 0x00, 0x00}, "Unsupported AAC profile."},       // object type 0
      {{0, 0x2A, 0x10}, "Unsupported AAC profile."},       // object type 5 (SBR)
      {{0}, "Unsupported AAC profile."},                   // no configuration bytes at all
      {{0, 0x16, 0x90}, "Invalid AAC sample rate index."}, // index 13
      {{0, 0x12, 0x38}, "Invalid AAC channel configuration."},  // 7 channels
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    AACWriter writer(dir / "a.aac");
    ASSERT_TRUE(writer.Open().ok());
    EXPECT_EQ(writer.WriteChunk(c.config, 0).message(), c.error);
  }
}

TEST(AACWriterTest, FrameLongerThanAdtsCanDescribeIsAnError) {
  testing::TempDir dir;
  AACWriter writer(dir / "a.aac");
  ASSERT_TRUE(writer.Open().ok());
  ASSERT_TRUE(writer.WriteChunk(Bytes{0, 0x12, 0x10}, 0).ok());
  EXPECT_TRUE(writer.WriteChunk(Concat({{1}, Bytes(8191 - 7, 1)}), 0).ok());  // 13-bit length: 8191
  EXPECT_EQ(writer.WriteChunk(Concat({{1}, Bytes(8191 - 6, 1)}), 0).message(), "AAC frame too long for ADTS.");
  EXPECT_EQ(writer.WriteChunk(Concat({{1}, Bytes(200000, 1)}), 0).message(), "AAC frame too long for ADTS.");
}

// The Ogg checksum computed bit by bit over a page with its checksum field zeroed.
uint32_t BitwiseOggCrc(Bytes page) {
  page[22] = page[23] = page[24] = page[25] = 0;
  uint32_t crc = 0;
  for (uint8_t byte : page) {
    crc ^= uint32_t{byte} << 24;
    for (int i = 0; i < 8; ++i) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

struct OggPage {
  uint8_t flags;
  uint64_t granule;
  uint32_t serial, sequence;
  std::vector<size_t> packet_sizes;
  Bytes data;
};

// Splits an Ogg stream into pages, checking each page's checksum.
std::vector<OggPage> ParseOgg(const Bytes& file) {
  std::vector<OggPage> pages;
  size_t at = 0;
  while (at < file.size()) {
    EXPECT_EQ(Text(file, at, 4), "OggS");
    OggPage page;
    page.flags = file[at + 5];
    page.granule = LE32(file, at + 6) | (uint64_t{LE32(file, at + 10)} << 32);
    page.serial = LE32(file, at + 14);
    page.sequence = LE32(file, at + 18);
    size_t segments = file[at + 26];
    size_t data_size = 0, packet = 0;
    for (size_t i = 0; i < segments; ++i) {
      uint8_t lace = file[at + 27 + i];
      data_size += lace;
      packet += lace;
      if (lace < 255) {
        page.packet_sizes.push_back(packet);
        packet = 0;
      }
    }
    size_t page_size = 27 + segments + data_size;
    Bytes whole(file.begin() + at, file.begin() + at + page_size);
    EXPECT_EQ(LE32(file, at + 22), BitwiseOggCrc(whole)) << "page " << page.sequence;
    page.data.assign(whole.begin() + 27 + segments, whole.end());
    pages.push_back(page);
    at += page_size;
  }
  return pages;
}

TEST(SpeexWriterTest, WritesHeaderCommentAndAudioPagesWithValidChecksums) {
  testing::TempDir dir;
  SpeexWriter writer(dir / "s.spx", 0x12345678);
  ASSERT_TRUE(writer.Open().ok());
  std::vector<size_t> sizes;
  for (int i = 0; i < 100; ++i) sizes.push_back(static_cast<size_t>(60 + i % 7));
  sizes.push_back(300);  // more than one lacing segment
  for (size_t size : sizes) ASSERT_TRUE(writer.WriteChunk(Bytes(size, 0x5A), 0).ok());
  ASSERT_TRUE(writer.Finish().ok());

  std::vector<OggPage> pages = ParseOgg(testing::ReadFile(dir / "s.spx"));
  ASSERT_GE(pages.size(), 4u);
  EXPECT_EQ(pages[0].flags, 0x02);
  EXPECT_EQ(Text(pages[0].data, 0, 8), "Speex   ");
  EXPECT_EQ(pages[0].data.size(), 80u);
  EXPECT_EQ(LE32(pages[0].data, 36), 16000u);  // rate
  EXPECT_EQ(LE32(pages[0].data, 40), 1u);      // wideband
  EXPECT_EQ(LE32(pages[0].data, 56), 320u);    // frame size
  EXPECT_EQ(pages[1].packet_sizes.size(), 1u);  // comment packet alone
  std::vector<size_t> audio_sizes;
  uint64_t packets = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(pages[i].serial, 0x12345678u);
    EXPECT_EQ(pages[i].sequence, i);
    if (i < 2) continue;
    EXPECT_LE(pages[i].data.size(), 4096u);
    packets += pages[i].packet_sizes.size();
    EXPECT_EQ(pages[i].granule, packets * 320);  // samples up to the page's last packet
    audio_sizes.insert(audio_sizes.end(), pages[i].packet_sizes.begin(), pages[i].packet_sizes.end());
    EXPECT_EQ(pages[i].flags, i + 1 == pages.size() ? 0x04 : 0x00);
  }
  EXPECT_EQ(audio_sizes, sizes);
}

TEST(SpeexWriterTest, EmptyAndOversizedPacketsAreErrors) {
  testing::TempDir dir;
  SpeexWriter writer(dir / "s.spx", 1);
  ASSERT_TRUE(writer.Open().ok());
  EXPECT_EQ(writer.WriteChunk(Bytes{}, 0).message(), "Invalid Speex data.");
  EXPECT_EQ(writer.WriteChunk(Bytes(65025, 1), 0).message(), "Packet exceeds maximum size.");
  EXPECT_TRUE(writer.WriteChunk(Bytes(65024, 1), 0).ok());
}

TEST(WAVWriterTest, HeaderAndWholeSampleBlocks) {
  testing::TempDir dir;
  WAVWriter writer(dir / "w.wav", 16, 2, 22050);
  ASSERT_TRUE(writer.Open().ok());
  ASSERT_TRUE(writer.WriteChunk(Bytes(10, 1), 0).ok());  // 2 blocks of 4, 2 bytes dropped
  ASSERT_TRUE(writer.WriteChunk(Bytes(4, 2), 0).ok());
  ASSERT_TRUE(writer.Finish().ok());
  Bytes wav = testing::ReadFile(dir / "w.wav");
  ASSERT_EQ(wav.size(), 44u + 12u);
  EXPECT_EQ(Text(wav, 0, 4), "RIFF");
  EXPECT_EQ(LE32(wav, 4), 36u + 12u);
  EXPECT_EQ(Text(wav, 8, 8), "WAVEfmt ");
  EXPECT_EQ(LE16(wav, 20), 1);        // PCM
  EXPECT_EQ(LE16(wav, 22), 2);        // channels
  EXPECT_EQ(LE32(wav, 24), 22050u);   // rate
  EXPECT_EQ(LE32(wav, 28), 88200u);   // bytes per second
  EXPECT_EQ(LE16(wav, 32), 4);        // block
  EXPECT_EQ(LE16(wav, 34), 16);       // bits
  EXPECT_EQ(Text(wav, 36, 4), "data");
  EXPECT_EQ(LE32(wav, 40), 12u);
  EXPECT_EQ(Bytes(wav.begin() + 44, wav.end()), Concat({Bytes(8, 1), Bytes(4, 2)}));
}

}  // namespace
}  // namespace morvalin
