#include "convert/mp3_writer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "convert/flv_test_support.h"

namespace morvalin {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::Mp3Frame;

struct Written {
  Bytes bytes;
  Warnings warnings;
};

Written WriteThrough(const std::vector<Bytes>& chunks) {
  testing::TempDir dir;
  Written out;
  MP3Writer writer(dir / "out.mp3", out.warnings);
  EXPECT_TRUE(writer.Open().ok());
  for (const Bytes& chunk : chunks) EXPECT_TRUE(writer.WriteChunk(chunk, 0).ok());
  EXPECT_TRUE(writer.Finish().ok());
  out.bytes = testing::ReadFile(dir / "out.mp3");
  return out;
}

uint32_t BE32(const Bytes& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

std::vector<Bytes> Repeat(const Bytes& frame, int count) { return std::vector<Bytes>(count, frame); }

TEST(MP3WriterTest, ConstantBitrateIsThePlainConcatenation) {
  // Below the hold-back mark (written at Finish) and well past it (streamed).
  for (int count : {1, 3, 400}) {
    std::vector<Bytes> chunks = Repeat(Mp3Frame(9), count);
    Written out = WriteThrough(chunks);
    EXPECT_EQ(out.bytes, Concat(chunks)) << count << " frames";
    EXPECT_TRUE(out.warnings.empty());
  }
}

TEST(MP3WriterTest, EarlyBitrateChangeGetsAXingFrameWithCountsAndTable) {
  // 128, 128, 160, 128 kbit/s at 44100 Hz: 417, 417, 522, 417 bytes at offsets 0, 417, 834, 1356.
  std::vector<Bytes> chunks = {Mp3Frame(9), Mp3Frame(9), Mp3Frame(10), Mp3Frame(9)};
  Written out = WriteThrough(chunks);
  ASSERT_EQ(out.bytes.size(), 208u + 1773u);
  EXPECT_EQ(Bytes(out.bytes.begin() + 208, out.bytes.end()), Concat(chunks));

  // Header: protection, bitrate and padding cleared, 64 kbit/s index 5 set.
  EXPECT_EQ(BE32(out.bytes, 0), 0xFFFA5000u);
  for (size_t i = 4; i < 36; ++i) EXPECT_EQ(out.bytes[i], 0) << i;
  EXPECT_EQ(BE32(out.bytes, 36), 0x58696E67u);  // "Xing"
  EXPECT_EQ(BE32(out.bytes, 40), 7u);
  EXPECT_EQ(BE32(out.bytes, 44), 4u);     // frames
  EXPECT_EQ(BE32(out.bytes, 48), 1773u);  // bytes
  const uint8_t* toc = out.bytes.data() + 52;
  // Entry i is the offset of frame trunc(i * 4 / 100), scaled to 256.
  EXPECT_EQ(toc[0], 0);
  EXPECT_EQ(toc[24], 0);
  EXPECT_EQ(toc[25], 60);   // 417 * 256 / 1773
  EXPECT_EQ(toc[49], 60);
  EXPECT_EQ(toc[50], 120);  // 834 * 256 / 1773
  EXPECT_EQ(toc[75], 195);  // 1356 * 256 / 1773
  EXPECT_EQ(toc[99], 195);
  for (size_t i = 52 + 100; i < 208; ++i) EXPECT_EQ(out.bytes[i], 0) << i;
  EXPECT_TRUE(out.warnings.empty());
}

TEST(MP3WriterTest, TableOfContentsOfALongStream) {
  // 10000 frames, ten to a chunk; the second frame changes the bitrate, so every offset is needed.
  std::vector<Bytes> chunks;
  std::vector<uint64_t> offsets;
  uint64_t at = 0;
  for (int c = 0; c < 1000; ++c) {
    std::vector<Bytes> frames;
    for (int f = 0; f < 10; ++f) {
      frames.push_back(c == 0 && f == 1 ? Mp3Frame(10) : Mp3Frame(9));
      offsets.push_back(at);
      at += frames.back().size();
    }
    chunks.push_back(Concat(frames));
  }
  Written out = WriteThrough(chunks);
  ASSERT_EQ(out.bytes.size(), 208 + at);
  EXPECT_EQ(BE32(out.bytes, 44), 10000u);
  EXPECT_EQ(BE32(out.bytes, 48), at);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(out.bytes[52 + i], offsets[i * 100] * 256 / at) << i;
}

TEST(MP3WriterTest, XingFrameFollowsTheFirstFramesVersionRateAndMode) {
  struct Case {
    int version, sampling_index, channel_mode, bitrate_a, bitrate_b;
    size_t xing_size, tag_offset;
    uint8_t bitrate_nibble;
  };
  const Case cases[] = {
      {3, 0, 3, 9, 10, 208, 21, 5},  // MPEG-1 44100 Hz mono
      {3, 1, 1, 9, 10, 192, 36, 5},  // MPEG-1 48000 Hz joint stereo
      {2, 0, 0, 8, 9, 208, 21, 8},   // MPEG-2 22050 Hz stereo
      {0, 0, 3, 8, 9, 417, 13, 8},   // MPEG-2.5 11025 Hz mono
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Mp3Header(c.bitrate_a, c.version, c.sampling_index, c.channel_mode));
    std::vector<Bytes> chunks = {Mp3Frame(c.bitrate_a, c.version, c.sampling_index, c.channel_mode),
                                 Mp3Frame(c.bitrate_b, c.version, c.sampling_index, c.channel_mode)};
    Written out = WriteThrough(chunks);
    Bytes audio = Concat(chunks);
    ASSERT_EQ(out.bytes.size(), c.xing_size + audio.size());
    EXPECT_EQ(Bytes(out.bytes.begin() + c.xing_size, out.bytes.end()), audio);
    EXPECT_EQ(out.bytes[2] >> 4, c.bitrate_nibble);
    EXPECT_EQ(out.bytes[3], audio[3]);  // channel mode kept
    EXPECT_EQ(BE32(out.bytes, c.tag_offset), 0x58696E67u);
    EXPECT_EQ(BE32(out.bytes, c.tag_offset + 8), 2u);
    EXPECT_EQ(BE32(out.bytes, c.tag_offset + 12), audio.size());
  }
}

TEST(MP3WriterTest, ChangeInsideTheChunkThatCrossesTheMarkStillGetsXing) {
  // 157 frames of 417 bytes = 65469, then one chunk of three frames whose last one changes bitrate:
  // the chunk crosses 65536 but is still held back when its frames are parsed.
  std::vector<Bytes> chunks = Repeat(Mp3Frame(9), 157);
  chunks.push_back(Concat({Mp3Frame(9), Mp3Frame(9), Mp3Frame(10)}));
  Written out = WriteThrough(chunks);
  Bytes audio = Concat(chunks);
  ASSERT_EQ(out.bytes.size(), 208 + audio.size());
  EXPECT_EQ(BE32(out.bytes, 36), 0x58696E67u);
  EXPECT_EQ(BE32(out.bytes, 44), 160u);
  EXPECT_EQ(Bytes(out.bytes.begin() + 208, out.bytes.end()), audio);  // moved up behind the Xing frame
  EXPECT_TRUE(out.warnings.empty());
}

TEST(MP3WriterTest, LateBitrateChangeWarnsOnceAndAddsNoXing) {
  std::vector<Bytes> chunks = Repeat(Mp3Frame(9), 158);  // 65886 bytes: holding back has ended
  chunks.push_back(Mp3Frame(10));
  chunks.push_back(Mp3Frame(11));
  chunks.push_back(Mp3Frame(10));
  Written out = WriteThrough(chunks);
  EXPECT_EQ(out.bytes, Concat(chunks));
  EXPECT_EQ(out.warnings, Warnings{"Detected VBR too late, cannot add VBR header."});
}

TEST(MP3WriterTest, StreamWithItsOwnXingFrameIsCopiedUnchanged) {
  std::vector<Bytes> chunks = {testing::OwnXingFrame(), Mp3Frame(9), Mp3Frame(10), Mp3Frame(9)};
  Written out = WriteThrough(chunks);
  EXPECT_EQ(out.bytes, Concat(chunks));
  EXPECT_TRUE(out.warnings.empty());
}

TEST(MP3WriterTest, ChunksWithoutAFrameHeaderAreWrittenButNotCounted) {
  Bytes junk(100, 0x49);  // no sync word
  std::vector<Bytes> chunks = {Mp3Frame(9), junk, Mp3Frame(10)};
  Written out = WriteThrough(chunks);
  Bytes audio = Concat(chunks);
  ASSERT_EQ(out.bytes.size(), 208 + audio.size());
  EXPECT_EQ(Bytes(out.bytes.begin() + 208, out.bytes.end()), audio);
  EXPECT_EQ(BE32(out.bytes, 44), 2u);            // frames: the junk adds none
  EXPECT_EQ(BE32(out.bytes, 48), audio.size());  // bytes: it still counts
  EXPECT_EQ(out.bytes[52 + 49], 0);
  EXPECT_EQ(out.bytes[52 + 50], 127);  // second frame at 517: 517 * 256 / 1039
}

TEST(MP3WriterTest, FramesAreFoundInsideAChunkAndATruncatedFrameEndsTheChunk) {
  Bytes cut = Mp3Frame(10);
  cut.resize(300);  // runs past the end of its chunk: not a frame
  std::vector<Bytes> chunks = {Concat({Mp3Frame(9), Mp3Frame(9), cut}), Mp3Frame(10)};
  Written out = WriteThrough(chunks);
  EXPECT_EQ(BE32(out.bytes, 44), 3u);
  EXPECT_EQ(BE32(out.bytes, 48), 834u + 300u + 522u);
}

// Feeds every chunk in pieces of `piece` bytes.
Bytes WriteInPieces(const std::vector<Bytes>& chunks, size_t piece, Warnings* warnings) {
  testing::TempDir dir;
  MP3Writer writer(dir / "out.mp3", *warnings);
  EXPECT_TRUE(writer.Open().ok());
  for (const Bytes& chunk : chunks) {
    EXPECT_TRUE(writer.BeginChunk(static_cast<uint32_t>(chunk.size()), 0).ok());
    for (size_t at = 0; at < chunk.size(); at += piece) {
      size_t n = std::min(piece, chunk.size() - at);
      EXPECT_TRUE(writer.WritePiece(std::span<const uint8_t>(chunk.data() + at, n)).ok());
    }
    EXPECT_TRUE(writer.EndChunk().ok());
  }
  EXPECT_TRUE(writer.Finish().ok());
  return testing::ReadFile(dir / "out.mp3");
}

TEST(MP3WriterTest, ChunksGivenInPiecesGiveTheSameFile) {
  const Bytes tiny = Mp3Frame(1, 2, 1);  // MPEG-2 8 kbit/s 24000 Hz: 24 bytes, shorter than a header look
  std::vector<Bytes> crossing = Repeat(Mp3Frame(9), 157);
  crossing.push_back(Concat({Mp3Frame(9), Mp3Frame(9), Mp3Frame(10)}));
  std::vector<Bytes> late = Repeat(Mp3Frame(9), 158);
  late.push_back(Mp3Frame(10));
  const std::vector<std::vector<Bytes>> streams = {
      {Concat({tiny, tiny, tiny, tiny, tiny, tiny, tiny, tiny, tiny, Mp3Frame(2, 2, 1)})},
      {Concat({Mp3Frame(9), Bytes(7, 0), Mp3Frame(10)}), Mp3Frame(10)},  // junk stops the walk
      {testing::OwnXingFrame(), Mp3Frame(10)},
      crossing,
      late,
  };
  for (size_t s = 0; s < streams.size(); ++s) {
    Written whole = WriteThrough(streams[s]);
    for (size_t piece : {1, 3, 17, 40, 1000}) {
      Warnings warnings;
      EXPECT_EQ(WriteInPieces(streams[s], piece, &warnings), whole.bytes) << "stream " << s << " piece " << piece;
      EXPECT_EQ(warnings, whole.warnings);
    }
  }
  // The tiny frames are all found: nine, then the change to 16 kbit/s.
  Written tiny_stream = WriteThrough(streams[0]);
  EXPECT_EQ(BE32(tiny_stream.bytes, 21 + 8), 10u);
}

TEST(MP3WriterTest, InvalidHeaderFieldsAreNotFrames) {
  // Each header differs from a valid 128 kbit/s MPEG-1 header in one field that makes it invalid.
  const uint32_t valid = testing::Mp3Header(9);
  const uint32_t invalid[] = {
      valid & ~(1u << 21),                   // sync
      (valid & ~(3u << 19)) | (1u << 19),    // reserved version
      (valid & ~(3u << 17)) | (3u << 17),    // layer I
      valid & ~(15u << 12),                  // free-format bitrate
      valid | (15u << 12),                   // bad bitrate
      valid | (3u << 10),                    // reserved sampling rate
  };
  for (uint32_t header : invalid) {
    Bytes bad = Mp3Frame(9);
    for (int i = 0; i < 4; ++i) bad[i] = static_cast<uint8_t>(header >> (24 - 8 * i));
    std::vector<Bytes> chunks = {Mp3Frame(9), bad, Mp3Frame(10)};
    Written out = WriteThrough(chunks);
    EXPECT_EQ(BE32(out.bytes, 44), 2u) << std::hex << header;
  }
}

}  // namespace
}  // namespace morvalin
