// Test inputs for the converter, built in code: MP3 frames, FLV files, and a runner for the converter
// program as a child process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace morvalin::testing {

using Bytes = std::vector<uint8_t>;

// One Layer III frame with the given header fields; the body is filled with `fill`.
// version: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5; channel_mode 3 is mono.
Bytes Mp3Frame(int bitrate_index, int version = 3, int sampling_index = 0, int channel_mode = 0,
               int padding = 0, uint8_t fill = 0x55);
uint32_t Mp3Header(int bitrate_index, int version = 3, int sampling_index = 0, int channel_mode = 0,
                   int padding = 0);
// A stream's own Xing frame: a 128 kbit/s MPEG-1 stereo frame with the tag at offset 36.
Bytes OwnXingFrame();

// Media-info bytes.
inline constexpr uint8_t kMp3Audio = 0x2F;         // MP3, 44 kHz, 16-bit, stereo
inline constexpr uint8_t kNellymoserAudio = 0x62;  // Nellymoser
inline constexpr uint8_t kAacAudio = 0xAF;
inline constexpr uint8_t kSorensonKeyFrame = 0x12;
inline constexpr uint8_t kSorensonInterFrame = 0x22;

class FlvBuilder {
 public:
  FlvBuilder();
  FlvBuilder& Tag(uint8_t type, const Bytes& data, uint32_t time_stamp = 0);
  FlvBuilder& Audio(uint8_t media_info, const Bytes& payload, uint32_t time_stamp = 0);
  FlvBuilder& Video(uint8_t media_info, const Bytes& payload, uint32_t time_stamp = 0);
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

Bytes Concat(const std::vector<Bytes>& parts);
// Little-endian fields and text of a written file.
uint32_t LE32(const Bytes& b, size_t at);
uint16_t LE16(const Bytes& b, size_t at);
std::string Text(const Bytes& b, size_t at, size_t n);
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadFile(const std::filesystem::path& path);

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// What the converter prints first on every run.
inline const std::string kBanner =
    "Kestrovan v1.6.0\n"
    "Morvalin 项目出品, 仅供学习交流.\n"
    "本软件可帮助您进行快速分离出FLV视频中的音频、视频(264格式)以及时间帧\n"
    "\n";

// MP3 audio at a constant bitrate interleaved with Sorenson video at 25 frames per second and a
// script tag: the file and the audio it carries.
struct Clip {
  Bytes flv;
  Bytes audio;
};
Clip MakeClip(int audio_tags = 6);

struct RunResult {
  int exit_code = -1;
  std::string output;
};
// Runs the converter from the run directory with `args`; `input` is fed to its standard input, which is
// a pipe (not a terminal) and closed after `input`.
RunResult RunKestrovan(const std::vector<std::string>& args, const std::string& input = "");
std::filesystem::path KestrovanPath();

}  // namespace morvalin::testing
