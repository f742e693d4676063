#include "convert/flv_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace morvalin::testing {

namespace {
constexpr int kBitratesMpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kBitratesMpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
}  // namespace

uint32_t Mp3Header(int bitrate_index, int version, int sampling_index, int channel_mode, int padding) {
  return (0x7FFu << 21) | (uint32_t(version) << 19) | (1u << 17) | (1u << 16) |
         (uint32_t(bitrate_index) << 12) | (uint32_t(sampling_index) << 10) | (uint32_t(padding) << 9) |
         (uint32_t(channel_mode) << 6);
}

Bytes Mp3Frame(int bitrate_index, int version, int sampling_index, int channel_mode, int padding,
               uint8_t fill) {
  int kbps = version == 3 ? kBitratesMpeg1[bitrate_index] : kBitratesMpeg2[bitrate_index];
  int length = (version == 3 ? 144 : 72) * kbps * 1000 / kRates[version][sampling_index] + padding;
  Bytes frame(static_cast<size_t>(length), fill);
  uint32_t h = Mp3Header(bitrate_index, version, sampling_index, channel_mode, padding);
  for (int i = 0; i < 4; ++i) frame[i] = static_cast<uint8_t>(h >> (24 - 8 * i));
  return frame;
}

Bytes OwnXingFrame() {
  Bytes frame = Mp3Frame(9, 3, 0, 0, 0, 0);
  frame[36] = 'X';
  frame[37] = 'i';
  frame[38] = 'n';
  frame[39] = 'g';
  frame[43] = 1;  // flags: frame count only
  frame[47] = 42;
  return frame;
}

FlvBuilder::FlvBuilder() : bytes_{'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0} {}

FlvBuilder& FlvBuilder::Tag(uint8_t type, const Bytes& data, uint32_t ts) {
  size_t size = data.size();
  Bytes header = {type,
                  uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size),
                  uint8_t(ts >> 16),   uint8_t(ts >> 8),   uint8_t(ts),   uint8_t(ts >> 24),
                  0, 0, 0};
  bytes_.insert(bytes_.end(), header.begin(), header.end());
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  size_t total = size + 11;
  Bytes previous = {uint8_t(total >> 24), uint8_t(total >> 16), uint8_t(total >> 8), uint8_t(total)};
  bytes_.insert(bytes_.end(), previous.begin(), previous.end());
  return *this;
}

FlvBuilder& FlvBuilder::Audio(uint8_t media_info, const Bytes& payload, uint32_t ts) {
  Bytes data{media_info};
  data.insert(data.end(), payload.begin(), payload.end());
  return Tag(8, data, ts);
}

FlvBuilder& FlvBuilder::Video(uint8_t media_info, const Bytes& payload, uint32_t ts) {
  Bytes data{media_info};
  data.insert(data.end(), payload.begin(), payload.end());
  return Tag(9, data, ts);
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

uint32_t LE32(const Bytes& b, size_t at) {
  return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) | (uint32_t{b[at + 3]} << 24);
}
uint16_t LE16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
std::string Text(const Bytes& b, size_t at, size_t n) { return std::string(b.begin() + at, b.begin() + at + n); }

Clip MakeClip(int audio_tags) {
  FlvBuilder flv;
  flv.Tag(18, Bytes(30, 0x02));  // script data: skipped
  std::vector<Bytes> payloads;
  for (int i = 0; i < audio_tags; ++i) {
    flv.Video(i == 0 ? kSorensonKeyFrame : kSorensonInterFrame, Bytes(50, 0x11),
              static_cast<uint32_t>(i * 40));
    payloads.push_back(Concat({Mp3Frame(9), Mp3Frame(9)}));
    flv.Audio(kMp3Audio, payloads.back(), static_cast<uint32_t>(i * 52));
  }
  return {flv.bytes(), Concat(payloads)};
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() / ("kestrovan-test-" + std::to_string(rd()) + "-" +
                                                    std::to_string(getpid()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path KestrovanPath() { return std::filesystem::path(MORVALIN_RUN_DIR) / "kestrovan"; }

RunResult RunKestrovan(const std::vector<std::string>& args, const std::string& input) {
  int to_child[2], from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) throw std::runtime_error("pipe");
  std::string program = KestrovanPath().string();
  std::vector<char*> argv{program.data()};
  std::vector<std::string> copies(args);
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(to_child[0], 0);
    dup2(from_child[1], 1);
    dup2(from_child[1], 2);
    close(to_child[1]);
    close(from_child[0]);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  signal(SIGPIPE, SIG_IGN);
  if (!input.empty()) (void)!write(to_child[1], input.data(), input.size());
  close(to_child[1]);

  RunResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  char buffer[4096];
  for (;;) {
    pollfd pfd{from_child[0], POLLIN, 0};
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - std::chrono::steady_clock::now()).count());
    if (left <= 0 || poll(&pfd, 1, left) <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    ssize_t n = read(from_child[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.output.append(buffer, static_cast<size_t>(n));
  }
  close(from_child[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace morvalin::testing
