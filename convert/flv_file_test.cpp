// The tag walk on built inputs: truncation, corrupt size fields, the choice of writers and what each
// stream's outputs hold.
#include "convert/flv_file.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "convert/flv_test_support.h"

namespace morvalin {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::FlvBuilder;
using testing::Mp3Frame;

struct Extraction {
  Status status;
  Warnings warnings;
  std::optional<FractionUInt32> true_rate, average_rate;
};

Extraction Extract(const std::filesystem::path& input, bool audio, bool video = false, bool time_codes = false,
                   bool overwrite = true) {
  FLVFile flv;
  Extraction out;
  out.status = flv.Open(input, std::nullopt, [overwrite](const std::filesystem::path&) { return overwrite; });
  if (out.status.ok()) out.status = flv.ExtractStreams(audio, video, time_codes);
  out.warnings = flv.GetWarnings();
  out.true_rate = flv.TrueFrameRate();
  out.average_rate = flv.AverageFrameRate();
  return out;
}

TEST(FLVFileTest, TruncatedAtEveryByteKeepsTheCompleteAudioTags) {
  // Small MPEG-2 8 kbit/s frames keep the file short enough to cut at every position.
  const Bytes frame = Mp3Frame(1, 2, 1);  // 24 bytes
  FlvBuilder flv;
  std::vector<std::pair<size_t, Bytes>> audio_tags;  // end offset of the tag's data, payload
  flv.Tag(18, Bytes(9, 2));
  for (int i = 0; i < 4; ++i) {
    flv.Video(testing::kSorensonInterFrame, Bytes(7, 1), static_cast<uint32_t>(i * 40));
    Bytes payload = Concat({frame, frame});
    flv.Audio(0x22, payload, static_cast<uint32_t>(i * 48));
    audio_tags.emplace_back(flv.bytes().size() - 4, payload);
  }
  const Bytes& full = flv.bytes();
  testing::TempDir dir;
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    SCOPED_TRACE(cut);
    testing::WriteFile(dir / "cut.flv", Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
    std::filesystem::remove(dir / "cut.mp3");
    Extraction out = Extract(dir / "cut.flv", true);
    if (cut < 4) {
      EXPECT_EQ(out.status.message(), "This isn't a FLV file.");
      continue;
    }
    ASSERT_TRUE(out.status.ok()) << out.status.message();
    std::vector<Bytes> complete;
    for (const auto& [end, payload] : audio_tags) {
      if (end <= cut) complete.push_back(payload);
    }
    ASSERT_EQ(std::filesystem::exists(dir / "cut.mp3"), !complete.empty());
    if (!complete.empty()) {
      EXPECT_EQ(testing::ReadFile(dir / "cut.mp3"), Concat(complete));
    }
  }
}

TEST(FLVFileTest, RandomlyDamagedFilesEndCleanly) {
  // A file with every kind of stream, damaged at random bytes: each run must end with success or one of
  // the converter's errors, and an error must leave no output behind.
  FlvBuilder flv;
  flv.Tag(18, Bytes(20, 2))
      .Video(0x17, {0, 0, 0, 0, 1, 0x64, 0, 0x1F, 0xFF, 0xE1, 0, 2, 0x67, 1, 1, 0, 1, 0x68}, 0)
      .Audio(testing::kMp3Audio, Concat({Mp3Frame(9), Mp3Frame(10)}), 0)
      .Video(0x27, {1, 0, 0, 0, 0, 0, 0, 3, 0x41, 1, 2}, 40)
      .Audio(testing::kMp3Audio, Mp3Frame(9), 26)
      .Video(0x15, {0x11, 0, 0, 2, 0, 0x46, 1, 1}, 80)
      .Audio(testing::kAacAudio, {0, 0x12, 0x10}, 52);
  const Bytes original = flv.bytes();
  const std::set<std::string> known = {
      "This isn't a FLV file.", "Unsupported AAC profile.", "Invalid AAC sample rate index.",
      "Invalid AAC channel configuration.", "AAC frame too long for ADTS.", "Invalid Speex data.",
      "Packet exceeds maximum size."};
  std::mt19937 random(20240611);
  testing::TempDir dir;
  for (int run = 0; run < 300; ++run) {
    Bytes damaged = original;
    int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
    std::filesystem::remove_all(dir.path());
    std::filesystem::create_directories(dir.path());
    testing::WriteFile(dir / "d.flv", damaged);
    Extraction out = Extract(dir / "d.flv", true, true, true);
    if (!out.status.ok()) {
      EXPECT_TRUE(known.count(out.status.message())) << out.status.message();
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << run;
    }
  }
}

// Sets the 24-bit data size of the tag whose header starts at `at`.
void SetDataSize(Bytes& flv, size_t at, uint32_t size) {
  flv[at + 1] = static_cast<uint8_t>(size >> 16);
  flv[at + 2] = static_cast<uint8_t>(size >> 8);
  flv[at + 3] = static_cast<uint8_t>(size);
}

TEST(FLVFileTest, CorruptSizeFieldsEndOrSkipWithoutFailing) {
  const Bytes a = Concat({Mp3Frame(9)}), b = Concat({Mp3Frame(9), Mp3Frame(9)});
  FlvBuilder base;
  base.Audio(testing::kMp3Audio, a);
  const size_t second_tag = base.bytes().size();
  base.Audio(testing::kMp3Audio, b);
  const size_t third_tag = base.bytes().size();
  base.Audio(testing::kMp3Audio, a);

  struct Case {
    const char* name;
    std::function<void(Bytes&)> corrupt;
    std::optional<Bytes> expected;  // none: no output file
  };
  const Case cases[] = {
      {"size larger than the file", [&](Bytes& f) { SetDataSize(f, second_tag, 0xFFFFFF); }, a},
      {"size one past the end", [&](Bytes& f) { SetDataSize(f, third_tag, static_cast<uint32_t>(f.size() - third_tag - 11 + 1)); },
       Concat({a, b})},
      {"zero-size tag is passed over",
       [&](Bytes& f) {
         Bytes empty = {8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 11};
         f.insert(f.begin() + static_cast<long>(second_tag), empty.begin(), empty.end());
       },
       Concat({a, b, a})},
      {"header size past the end", [](Bytes& f) { f[5] = 0x7F; }, std::nullopt},
      {"header cut short", [](Bytes& f) { f.resize(7); }, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    Bytes file = base.bytes();
    c.corrupt(file);
    testing::WriteFile(dir / "bad.flv", file);
    Extraction out = Extract(dir / "bad.flv", true);
    EXPECT_TRUE(out.status.ok()) << out.status.message();
    ASSERT_EQ(std::filesystem::exists(dir / "bad.mp3"), c.expected.has_value());
    if (c.expected) {
      EXPECT_EQ(testing::ReadFile(dir / "bad.mp3"), *c.expected);
    }
  }
}

TEST(FLVFileTest, LargeMp3TagIsStreamedInPieces) {
  // One tag of 200 frames (83 kB, several read buffers) whose last frame changes the bitrate: the tag
  // crosses the 65536-byte mark, so the change still gets a Xing frame in front.
  std::vector<Bytes> frames(199, Mp3Frame(9));
  frames.push_back(Mp3Frame(10));
  Bytes audio = Concat(frames);
  FlvBuilder flv;
  flv.Audio(testing::kMp3Audio, audio).Audio(testing::kMp3Audio, Mp3Frame(9));
  testing::TempDir dir;
  testing::WriteFile(dir / "big.flv", flv.bytes());
  Extraction out = Extract(dir / "big.flv", true);
  ASSERT_TRUE(out.status.ok()) << out.status.message();
  Bytes mp3 = testing::ReadFile(dir / "big.mp3");
  ASSERT_EQ(mp3.size(), 208 + audio.size() + 417);
  EXPECT_EQ(testing::Text(mp3, 36, 4), "Xing");
  EXPECT_EQ(mp3[44 + 3], 201);  // frames
  EXPECT_EQ(Bytes(mp3.begin() + 208, mp3.end()), Concat({audio, Mp3Frame(9)}));
}

TEST(FLVFileTest, AudioFormatChoosesTheWriterOrAWarning) {
  struct Case {
    uint8_t media_info;
    const char* output;  // file extension written, or nullptr
    const char* warning;
  };
  const Case cases[] = {
      {0x2E, ".mp3", nullptr},
      {0xE2, ".mp3", nullptr},  // MP3 8 kHz
      {0x3F, ".wav", nullptr},
      {0x0E, ".wav", "PCM byte order unspecified, assuming little endian."},
      {0xBE, ".spx", nullptr},
      {0x1E, nullptr, "Unable to extract audio (ADPCM is unsupported)."},
      {0x4E, nullptr, "Unable to extract audio (Nellymoser is unsupported)."},
      {0x5E, nullptr, "Unable to extract audio (Nellymoser is unsupported)."},
      {0x7E, nullptr, "Unable to extract audio (format=7 is unsupported)."},
      {0xFE, nullptr, "Unable to extract audio (format=15 is unsupported)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.media_info});
    testing::TempDir dir;
    FlvBuilder flv;
    flv.Audio(c.media_info, Bytes(40, 3));
    testing::WriteFile(dir / "in.flv", flv.bytes());
    Extraction out = Extract(dir / "in.flv", true);
    ASSERT_TRUE(out.status.ok()) << out.status.message();
    EXPECT_EQ(out.warnings, c.warning ? Warnings{c.warning} : Warnings{});
    size_t files = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    EXPECT_EQ(files, c.output ? 2u : 1u);
    if (c.output) {
      EXPECT_TRUE(std::filesystem::exists(dir / (std::string("in") + c.output)));
    }
  }
}

TEST(FLVFileTest, TheFirstAudioTagFixesTheWriterForTheWholeStream) {
  testing::TempDir dir;
  FlvBuilder flv;
  flv.Audio(testing::kMp3Audio, Mp3Frame(9)).Audio(testing::kNellymoserAudio, Mp3Frame(9));
  testing::WriteFile(dir / "in.flv", flv.bytes());
  Extraction out = Extract(dir / "in.flv", true);
  ASSERT_TRUE(out.status.ok());
  EXPECT_TRUE(out.warnings.empty());
  EXPECT_EQ(testing::ReadFile(dir / "in.mp3"), Concat({Mp3Frame(9), Mp3Frame(9)}));
}

TEST(FLVFileTest, DeclinedOverwriteLeavesTheFileAndWritesNothing) {
  testing::TempDir dir;
  FlvBuilder flv;
  flv.Audio(testing::kMp3Audio, Mp3Frame(9));
  testing::WriteFile(dir / "in.flv", flv.bytes());
  testing::WriteFile(dir / "in.mp3", Bytes{1, 2, 3});
  Extraction out = Extract(dir / "in.flv", true, false, false, /*overwrite=*/false);
  ASSERT_TRUE(out.status.ok());
  EXPECT_EQ(testing::ReadFile(dir / "in.mp3"), (Bytes{1, 2, 3}));
}

TEST(FLVFileTest, VideoCodecsChooseTheWriterOrAWarning) {
  struct Case {
    uint8_t media_info;
    std::vector<std::string> outputs;
    const char* warning;
  };
  const Case cases[] = {
      {0x12, {"in.avi"}, nullptr},
      {0x14, {"in.avi"}, nullptr},
      {0x15, {"in.avi", "in.alpha.avi"}, nullptr},
      {0x17, {"in.264"}, nullptr},
      {0x13, {}, "Unable to extract video (Screen is unsupported)."},
      {0x16, {}, "Unable to extract video (Screen2 is unsupported)."},
      {0x18, {}, "Unable to extract video (codecID=8 is unsupported)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.media_info});
    testing::TempDir dir;
    FlvBuilder flv;
    flv.Video(c.media_info, Bytes(12, 0));
    testing::WriteFile(dir / "in.flv", flv.bytes());
    Extraction out = Extract(dir / "in.flv", false, true);
    ASSERT_TRUE(out.status.ok()) << out.status.message();
    EXPECT_EQ(out.warnings, c.warning ? Warnings{c.warning} : Warnings{});
    for (const auto& name : c.outputs) EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    EXPECT_EQ(static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.path()), {})),
              1 + c.outputs.size());
  }
}

TEST(FLVFileTest, TimeCodesAndFrameRatesSkipInfoFrames) {
  testing::TempDir dir;
  FlvBuilder flv;
  const uint32_t stamps[] = {0, 33, 67, 100, 133, 167, 200};
  for (uint32_t ts : stamps) {
    flv.Video(testing::kSorensonInterFrame, Bytes(5, 0), ts);
    flv.Video(0x52, Bytes(5, 0), ts + 1);  // info frame: neither a time code nor a frame
  }
  testing::WriteFile(dir / "in.flv", flv.bytes());
  Extraction out = Extract(dir / "in.flv", false, false, true);
  ASSERT_TRUE(out.status.ok());
  EXPECT_EQ(testing::ReadFile(dir / "in.txt"),
            Bytes(std::string_view("# timecode format v2\n0\n33\n67\n100\n133\n167\n200\n").begin(),
                  std::string_view("# timecode format v2\n0\n33\n67\n100\n133\n167\n200\n").end()));
  ASSERT_TRUE(out.average_rate && out.true_rate);
  EXPECT_EQ(*out.average_rate, (FractionUInt32{30, 1}));      // 6 intervals in 200 ms
  EXPECT_EQ(*out.true_rate, (FractionUInt32{30, 1}));     // d = 33: 6 intervals of 33 or 34 in 200 ms
}

TEST(FLVFileTest, ErrorRemovesTheOutputsOfEveryUnfinishedWriter) {
  testing::TempDir dir;
  FlvBuilder flv;
  flv.Video(0x17, {0, 0, 0, 0, 1, 0x64, 0, 0x1F, 0xFF, 0xE0, 0}, 0)  // H.264 configuration
      .Audio(testing::kAacAudio, {0, 0x12, 0x10})
      .Video(0x27, {1, 0, 0, 0, 0, 0, 0, 2, 0x41, 0x9A}, 40)
      .Audio(testing::kAacAudio, {0, 0x17, 0x80});  // sampling-frequency index 14
  testing::WriteFile(dir / "in.flv", flv.bytes());
  Extraction out = Extract(dir / "in.flv", true, true, true);
  EXPECT_EQ(out.status.message(), "Invalid AAC sample rate index.");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace morvalin
