// The bytes the video writers produce (Annex B H.264, AVI), and the frame-rate rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "convert/avi_writer.h"
#include "convert/flv_test_support.h"
#include "convert/frame_rate.h"
#include "convert/raw_h264_writer.h"

namespace morvalin {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::LE32;
using testing::Text;

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

struct VideoChunk {
  Bytes bytes;
  int frame_type;
};

// Writes `chunks` with a fresh writer from `make`, each chunk in pieces of `piece` bytes (0: whole),
// and returns the bytes of `files`.
template <typename MakeWriter>
std::vector<Bytes> WriteVideo(MakeWriter make, const std::vector<VideoChunk>& chunks, size_t piece,
                              const std::vector<std::string>& files) {
  testing::TempDir dir;
  Warnings warnings;
  auto writer = make(dir, warnings);
  EXPECT_TRUE(writer->Open().ok());
  for (const VideoChunk& c : chunks) {
    if (piece == 0) {
      EXPECT_TRUE(writer->WriteChunk(c.bytes, 0, c.frame_type).ok());
      continue;
    }
    EXPECT_TRUE(writer->BeginChunk(static_cast<uint32_t>(c.bytes.size()), 0, c.frame_type).ok());
    for (size_t at = 0; at < c.bytes.size(); at += piece) {
      size_t n = std::min(piece, c.bytes.size() - at);
      EXPECT_TRUE(writer->WritePiece(std::span<const uint8_t>(c.bytes.data() + at, n)).ok());
    }
    EXPECT_TRUE(writer->EndChunk().ok());
  }
  EXPECT_TRUE(writer->Finish({25, 1}).ok());
  std::vector<Bytes> out;
  for (const auto& name : files) out.push_back(testing::ReadFile(dir / name));
  return out;
}

TEST(VideoWritersTest, ChunksGivenInPiecesGiveTheSameFiles) {
  auto avi = [](const testing::TempDir& dir, Warnings& w) { return std::make_unique<AVIWriter>(dir / "v", 5, w); };
  const std::vector<VideoChunk> vp6_alpha = {
      {{0x48, 0, 0, 6, 0x01, 0x46, 0x00, 0x00, 15, 20, 0x00, 0x46, 15, 20, 0xAA}, 1},
      {Concat({{0x00, 0, 0, 3}, Bytes(3, 1), Bytes(70, 2)}), 2},
      {{0x00, 0xFF, 0xFF, 0xFF, 7, 7}, 2},  // alpha offset beyond the chunk: all picture
      {{0x00, 0}, 2},                       // too short for its prefix: empty frames
      {{}, 2},
  };
  auto h264 = [](const testing::TempDir& dir, Warnings&) { return std::make_unique<RawH264Writer>(dir / "v.264"); };
  const std::vector<VideoChunk> avc = {
      {{0, 0, 0, 0, 1, 0x64, 0, 0x1F, 0xFD, 0xE1, 0, 3, 0x67, 0xAA, 0xBB, 1, 0, 2, 0x68, 0xCC}, 1},
      {Concat({{1, 0, 0, 0, 0, 40}, Bytes(40, 5), {0, 0}, {0, 3, 1, 2, 3}, {0, 9, 1}}), 1},
      {{1, 0, 0, 0, 0, 2, 0x41, 0x9A, 0}, 2},  // a length field cut by the frame's end
      {{2, 0, 0, 0}, 2},
  };
  const std::vector<Bytes> avi_whole = WriteVideo(avi, vp6_alpha, 0, {"v.avi", "v.alpha.avi"});
  const std::vector<Bytes> h264_whole = WriteVideo(h264, avc, 0, {"v.264"});
  EXPECT_EQ(h264_whole[0].size(), 4u + 3 + 4 + 2 + 4 + 40 + 4 + 0 + 4 + 3 + 4 + 2);
  for (size_t piece : {1, 2, 3, 5, 1000}) {
    EXPECT_EQ(WriteVideo(avi, vp6_alpha, piece, {"v.avi", "v.alpha.avi"}), avi_whole) << piece;
    EXPECT_EQ(WriteVideo(h264, avc, piece, {"v.264"}), h264_whole) << piece;
  }
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
