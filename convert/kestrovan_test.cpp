// The converter as a user meets it: a child process with arguments, console text, exit code and the
// files it leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "convert/flv_test_support.h"

namespace morvalin {
namespace {

using testing::Bytes;
using testing::Clip;
using testing::Concat;
using testing::FlvBuilder;
using testing::kBanner;
using testing::MakeClip;
using testing::Mp3Frame;
using testing::RunKestrovan;

const std::string kUsage =
    "用法: [转换开关] 原路径\n"
    "\n"
    "转换开关:\n"
    "  -v         提取视频.\n"
    "  -a         提取音频.\n"
    "  -t         提取时间帧.\n"
    "  -o         不提示覆盖输出文件.\n"
    "  -d <dir>   输出目录.如果没有指定,输出文件将被写到与源文件的目录相同.\n";

std::set<std::string> FilesIn(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

TEST(KestrovanTest, ExtractsConstantBitrateMp3BesideTheInput) {
  testing::TempDir dir;
  Clip clip = MakeClip();
  auto input = dir / "My Song.flv";  // one argument, blanks and all
  testing::WriteFile(input, clip.flv);
  auto run = RunKestrovan({"-a", "-o", input.string()});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, kBanner +
                            "原始帧频: 25 (25/1)\n"
                            "平均帧频: 25 (25/1)\n"
                            "\n"
                            "完成.\n");
  EXPECT_EQ(testing::ReadFile(dir / "My Song.mp3"), clip.audio);
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"My Song.flv", "My Song.mp3"}));
}

TEST(KestrovanTest, BadCommandLinesPrintTheUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"-a", "-o"},
      {"-a", "-o", "/music/My", "Song.flv"},  // a path with blanks split into several arguments
      {"-a", "-d"},
      {"/music/a.flv", "-a"},
  };
  for (const auto& args : cases) {
    auto run = RunKestrovan(args);
    EXPECT_EQ(run.exit_code, 1) << args.size();
    EXPECT_EQ(run.output, kBanner + kUsage) << args.size();
  }
}

TEST(KestrovanTest, InputsThatAreNotFlvEndWithAnErrorAndLeaveNoFile) {
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"empty.flv", {}},
      {"short.flv", {'F', 'L', 'V'}},
      {"text.flv", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
      {"version2.flv", {'F', 'L', 'V', 2, 5, 0, 0, 0, 9, 0, 0, 0, 0}},
  };
  for (const auto& [name, bytes] : cases) {
    testing::TempDir dir;
    testing::WriteFile(dir / name, bytes);
    auto run = RunKestrovan({"-a", "-v", "-t", "-o", (dir / name).string()});
    EXPECT_EQ(run.exit_code, 1) << name;
    EXPECT_EQ(run.output, kBanner + "错误: This isn't a FLV file.\n") << name;
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{name});
  }
}

TEST(KestrovanTest, InputWithAnOutputExtensionIsRefused) {
  // ".wav" as well, so a PCM stream is never written over its own input.
  for (std::string name : {"clip.mp3", "clip.MP3", "clip.txt", "clip.264", "clip.wav"}) {
    testing::TempDir dir;
    testing::WriteFile(dir / name, MakeClip().flv);
    auto run = RunKestrovan({"-a", "-o", (dir / name).string()});
    EXPECT_EQ(run.exit_code, 1) << name;
    EXPECT_EQ(run.output, kBanner + "错误: Please change the extension of this FLV file.\n") << name;
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{name});
  }
}

TEST(KestrovanTest, OutputThatCannotBeCreatedIsAnErrorWithThePlatformMessage) {
  testing::TempDir dir;
  testing::WriteFile(dir / "clip.flv", MakeClip().flv);
  std::filesystem::create_directory(dir / "clip.mp3");  // the output name is taken by a directory
  auto run = RunKestrovan({"-a", "-o", (dir / "clip.flv").string()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.output, kBanner + "错误: " + (dir / "clip.mp3").string() + ": Is a directory\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "clip.mp3"));
}

TEST(KestrovanTest, MissingInputReportsThePlatformMessage) {
  testing::TempDir dir;
  auto run = RunKestrovan({"-a", "-o", (dir / "gone.flv").string()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.output.rfind(kBanner + "错误: ", 0), 0u);
  EXPECT_NE(run.output.find("No such file or directory"), std::string::npos) << run.output;
}

TEST(KestrovanTest, OutputDirectorySwitch) {
  testing::TempDir dir;
  Clip clip = MakeClip();
  testing::WriteFile(dir / "clip.flv", clip.flv);
  std::filesystem::create_directory(dir / "out");
  // The last "-d" counts.
  auto run = RunKestrovan({"-d", (dir / "nowhere").string(), "-a", "-d", (dir / "out").string(), "-o",
                           (dir / "clip.flv").string()});
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(testing::ReadFile(dir / "out" / "clip.mp3"), clip.audio);
  EXPECT_FALSE(std::filesystem::exists(dir / "clip.mp3"));

  run = RunKestrovan({"-a", "-d", (dir / "nowhere").string(), (dir / "clip.flv").string()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.output, kBanner + "错误: Output directory doesn't exist.\n");
}

TEST(KestrovanTest, ExistingOutputIsReplacedWithoutAQuestionUnderO) {
  testing::TempDir dir;
  Clip clip = MakeClip();
  testing::WriteFile(dir / "clip.flv", clip.flv);
  testing::WriteFile(dir / "clip.mp3", Bytes(100000, 0xEE));  // longer than the new one
  auto run = RunKestrovan({"-o", "-a", (dir / "clip.flv").string()}, "n");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output.find("覆盖"), std::string::npos);
  EXPECT_EQ(testing::ReadFile(dir / "clip.mp3"), clip.audio);
}

TEST(KestrovanTest, NellymoserIsAWarningNotAnError) {
  testing::TempDir dir;
  FlvBuilder flv;
  flv.Audio(testing::kNellymoserAudio, Bytes(64, 1)).Audio(testing::kNellymoserAudio, Bytes(64, 2), 64);
  testing::WriteFile(dir / "n.flv", flv.bytes());
  auto run = RunKestrovan({"-a", "-o", (dir / "n.flv").string()});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, kBanner +
                            "警告: Unable to extract audio (Nellymoser is unsupported).\n"
                            "\n"
                            "完成.\n");
  EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"n.flv"});
}

TEST(KestrovanTest, VariableBitrateEarlyGetsXingAndLateGetsAWarning) {
  testing::TempDir dir;
  FlvBuilder early, late;
  std::vector<Bytes> early_audio, late_audio;
  for (int i = 0; i < 170; ++i) {
    early_audio.push_back(Mp3Frame(i == 1 ? 10 : 9));  // change at the second frame
    late_audio.push_back(Mp3Frame(i == 165 ? 10 : 9));  // change after 68805 bytes
    early.Audio(testing::kMp3Audio, early_audio.back(), static_cast<uint32_t>(i * 26));
    late.Audio(testing::kMp3Audio, late_audio.back(), static_cast<uint32_t>(i * 26));
  }
  testing::WriteFile(dir / "early.flv", early.bytes());
  testing::WriteFile(dir / "late.flv", late.bytes());

  auto run = RunKestrovan({"-a", "-o", (dir / "early.flv").string()});
  EXPECT_EQ(run.output, kBanner + "完成.\n");
  Bytes mp3 = testing::ReadFile(dir / "early.mp3");
  ASSERT_EQ(mp3.size(), 208 + Concat(early_audio).size());
  EXPECT_EQ(testing::Text(mp3, 36, 4), "Xing");

  run = RunKestrovan({"-a", "-o", (dir / "late.flv").string()});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, kBanner + "警告: Detected VBR too late, cannot add VBR header.\n\n完成.\n");
  EXPECT_EQ(testing::ReadFile(dir / "late.mp3"), Concat(late_audio));
}

TEST(KestrovanTest, NothingToWriteStillEndsWithDone) {
  testing::TempDir dir;
  FlvBuilder video_only;
  video_only.Video(testing::kSorensonKeyFrame, Bytes(20, 1));
  testing::WriteFile(dir / "v.flv", video_only.bytes());
  testing::WriteFile(dir / "a.flv", MakeClip().flv);
  // "-a" without audio tags; and no extraction switch at all.
  for (const auto& args : std::vector<std::vector<std::string>>{{"-a", "-o", (dir / "v.flv").string()},
                                                                 {"-o", (dir / "a.flv").string()}}) {
    auto run = RunKestrovan(args);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_TRUE(run.output.ends_with("完成.\n")) << run.output;
  }
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"a.flv", "v.flv"}));
}

TEST(KestrovanTest, ErrorDuringTheWalkDeletesThePartialOutput) {
  testing::TempDir dir;
  FlvBuilder flv;
  flv.Audio(testing::kAacAudio, {0, 0x12, 0x10})  // AAC LC, 44100 Hz, stereo
      .Audio(testing::kAacAudio, Concat({{1}, Bytes(300, 7)}))
      .Audio(testing::kAacAudio, {0, 0x32, 0x10});  // object type 6: profile 5
  testing::WriteFile(dir / "aac.flv", flv.bytes());
  auto run = RunKestrovan({"-a", "-o", (dir / "aac.flv").string()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.output, kBanner + "错误: Unsupported AAC profile.\n");
  EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"aac.flv"});
}

}  // namespace
}  // namespace morvalin
