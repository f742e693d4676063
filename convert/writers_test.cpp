// The bytes the audio and video writers other than MP3 produce, and the frame-rate rules.
#include <gtest/gtest.h>

#include "convert/aac_writer.h"
#include "convert/avi_writer.h"
#include "convert/flv_test_support.h"
#include "convert/frame_rate.h"
#include "convert/raw_h264_writer.h"
#include "convert/speex_writer.h"
#include "convert/wav_writer.h"

namespace morvalin {
namespace {

using testing::Bytes;
using testing::Concat;

uint32_t LE32(const Bytes& b, size_t at) {
  return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) | (uint32_t{b[at + 3]} << 24);
}
uint16_t LE16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
std::string Text(const Bytes& b, size_t at, size_t n) { return std::string(b.begin() + at, b.begin() + at + n); }

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

TEST(RawH264WriterTest, ParameterSetsAndNalUnitsGetStartCodes) {
  testing::TempDir dir;
  RawH264Writer writer(dir / "v.264");
  ASSERT_TRUE(writer.Open().ok());
  Bytes config = {0, 0, 0, 0,                     // sequence header, composition time
                  1, 0x64, 0, 0x1F, 0xFD,         // version, profile, compat, level, 2-byte lengths
                  0xE1, 0, 3, 0x67, 0xAA, 0xBB,   // one SPS
                  1, 0, 2, 0x68, 0xCC};           // one PPS
  ASSERT_TRUE(writer.WriteChunk(config, 0, 1).ok());
  Bytes frame = {1, 0, 0, 0, 0, 2, 0x65, 0x01, 0, 1, 0x41,
                 0, 9, 0x41};  // the last unit claims more bytes than remain: dropped
  ASSERT_TRUE(writer.WriteChunk(frame, 0, 1).ok());
  ASSERT_TRUE(writer.WriteChunk(Bytes{2, 0, 0, 0}, 0, 1).ok());  // end of sequence
  ASSERT_TRUE(writer.Finish({25, 1}).ok());
  EXPECT_EQ(testing::ReadFile(dir / "v.264"),
            (Bytes{0, 0, 0, 1, 0x67, 0xAA, 0xBB, 0, 0, 0, 1, 0x68, 0xCC, 0, 0, 0, 1, 0x65, 0x01, 0, 0, 0, 1, 0x41}));
}

// Finds the first chunk `id` after offset 12 of a RIFF file, following LIST contents.
size_t FindChunk(const Bytes& file, const std::string& id) {
  for (size_t at = 12; at + 8 <= file.size();) {
    std::string name = Text(file, at, 4);
    if (name == id) return at;
    at += name == "LIST" ? 12 : 8 + LE32(file, at + 4) + (LE32(file, at + 4) & 1);
  }
  return std::string::npos;
}

TEST(AVIWriterTest, SorensonFramesWithSizeRateAndIndex) {
  testing::TempDir dir;
  Warnings warnings;
  AVIWriter writer(dir / "v", 2, warnings);
  ASSERT_TRUE(writer.Open().ok());
  // Picture start code, version, temporal reference, size format 0 with 8-bit width 64, height 48.
  Bytes key = {0x00, 0x00, 0x80, 0x00, 0x20, 0x18, 0x00, 0x00, 0x00};
  ASSERT_TRUE(writer.WriteChunk(key, 0, 1).ok());
  ASSERT_TRUE(writer.WriteChunk(Bytes(5, 9), 40, 2).ok());
  ASSERT_TRUE(writer.Finish({30000, 1001}).ok());
  EXPECT_TRUE(warnings.empty());
  Bytes avi = testing::ReadFile(dir / "v.avi");
  EXPECT_EQ(Text(avi, 0, 4), "RIFF");
  EXPECT_EQ(LE32(avi, 4), avi.size() - 8);
  size_t avih = FindChunk(avi, "avih");
  EXPECT_EQ(LE32(avi, avih + 8), 33366u);      // microseconds per frame
  EXPECT_EQ(LE32(avi, avih + 8 + 16), 2u);     // frames
  EXPECT_EQ(LE32(avi, avih + 8 + 32), 64u);    // width
  EXPECT_EQ(LE32(avi, avih + 8 + 36), 48u);    // height
  size_t strh = FindChunk(avi, "strh");
  EXPECT_EQ(Text(avi, strh + 8, 8), "vidsFLV1");
  EXPECT_EQ(LE32(avi, strh + 8 + 20), 1001u);   // scale
  EXPECT_EQ(LE32(avi, strh + 8 + 24), 30000u);  // rate
  size_t strf = FindChunk(avi, "strf");
  EXPECT_EQ(Text(avi, strf + 8 + 16, 4), "FLV1");
  // Index offsets count from the 'movi' list type; frames are padded to an even size.
  size_t movi = Text(avi, 0, avi.size()).find("movi");
  size_t first = FindChunk(avi, "00dc");
  EXPECT_EQ(first, movi + 4);
  EXPECT_EQ(Bytes(avi.begin() + first + 8, avi.begin() + first + 8 + 9), key);
  size_t idx1 = FindChunk(avi, "idx1");
  ASSERT_NE(idx1, std::string::npos);
  EXPECT_EQ(LE32(avi, idx1 + 4), 32u);
  EXPECT_EQ(LE32(avi, idx1 + 8 + 4), 0x10u);  // key frame
  EXPECT_EQ(LE32(avi, idx1 + 8 + 8), 4u);
  EXPECT_EQ(LE32(avi, idx1 + 8 + 12), 9u);
  EXPECT_EQ(LE32(avi, idx1 + 24 + 4), 0u);
  EXPECT_EQ(LE32(avi, idx1 + 24 + 8), 4u + 8 + 10);
  EXPECT_EQ(LE32(avi, idx1 + 24 + 12), 5u);
}

TEST(AVIWriterTest, Vp6WithAlphaSplitsTheAlphaChannelAndSuggestsCropping) {
  testing::TempDir dir;
  Warnings warnings;
  AVIWriter writer(dir / "v", 5, warnings);
  ASSERT_TRUE(writer.Open().ok());
  // Adjustment byte: 4 pixels right, 8 bottom; alpha offset 6; a VP6 intra frame of 20 x 15 macroblocks
  // (separated coefficients: two offset bytes before the dimensions); then the alpha frame.
  Bytes picture = {0x01, 0x46, 0x00, 0x00, 15, 20};
  Bytes alpha = {0x00, 0x46, 15, 20, 0xAA};
  ASSERT_TRUE(writer.WriteChunk(Concat({{0x48, 0, 0, 6}, picture, alpha}), 0, 1).ok());
  ASSERT_TRUE(writer.Finish({25, 1}).ok());
  EXPECT_EQ(warnings, Warnings{"Suggested cropping: 4 pixels from right, 8 pixels from bottom."});
  for (const auto& [name, frame] : {std::pair{"v.avi", picture}, std::pair{"v.alpha.avi", alpha}}) {
    SCOPED_TRACE(name);
    Bytes avi = testing::ReadFile(dir / name);
    size_t avih = FindChunk(avi, "avih");
    EXPECT_EQ(LE32(avi, avih + 8 + 32), 320u);
    EXPECT_EQ(LE32(avi, avih + 8 + 36), 240u);
    EXPECT_EQ(Text(avi, FindChunk(avi, "strh") + 12, 4), "VP6F");
    size_t first = FindChunk(avi, "00dc");
    EXPECT_EQ(Bytes(avi.begin() + first + 8, avi.begin() + first + 8 + frame.size()), frame);
  }
}

TEST(AVIWriterTest, OtherCodecsAreRefused) {
  testing::TempDir dir;
  Warnings warnings;
  AVIWriter writer(dir / "v", 7, warnings);
  EXPECT_EQ(writer.Open().message(), "Unsupported video codec.");
  EXPECT_FALSE(std::filesystem::exists(dir / "v.avi"));
}

TEST(FrameRateTest, AverageAndTrueRates) {
  auto rates = [](std::vector<uint32_t> stamps) {
    FrameRateCounter counter;
    for (uint32_t s : stamps) counter.Add(s);
    return std::pair{counter.AverageFrameRate(), counter.TrueFrameRate()};
  };
  EXPECT_EQ(rates({}).first, std::nullopt);
  EXPECT_EQ(rates({500}).second, std::nullopt);
  EXPECT_EQ(rates({0, 40, 80, 120}), std::pair(std::optional(FractionUInt32{25, 1}), std::optional(FractionUInt32{25, 1})));
  // 33/34 ms steps (c(33) = 4, c(34) = 3): 7 frames in 234 ms; true rate 7000 / 234.
  EXPECT_EQ(rates({0, 33, 67, 100, 133, 167, 200, 234}),
            std::pair(std::optional(FractionUInt32{3500, 117}), std::optional(FractionUInt32{3500, 117})));
  // One long gap moves the average, not the true rate.
  EXPECT_EQ(rates({0, 40, 80, 120, 160, 200, 240, 280, 320, 360, 400, 1400}),
            std::pair(std::optional(FractionUInt32{55, 7}), std::optional(FractionUInt32{25, 1})));
  // The smallest interval that is common enough wins over a rarer smaller one: n = 21, n / 10 = 2.
  std::vector<uint32_t> mixed = {0, 10};
  for (int i = 1; i <= 19; ++i) mixed.push_back(10 + 40 * static_cast<uint32_t>(i));
  EXPECT_EQ(rates(mixed).second, std::optional(FractionUInt32{25, 1}));
  // Repeated stamps are not intervals.
  EXPECT_EQ(rates({0, 0, 40, 40, 80}).second, std::optional(FractionUInt32{25, 1}));
}

TEST(FrameRateTest, FractionText) {
  EXPECT_EQ((FractionUInt32{25, 1}).ToString(), "25 (25/1)");
  EXPECT_EQ((FractionUInt32{30000, 1001}).ToString(), "29.97002997003 (30000/1001)");
  FractionUInt32 f{50, 2};
  f.Reduce();
  EXPECT_EQ(f, (FractionUInt32{25, 1}));
}

}  // namespace
}  // namespace morvalin
