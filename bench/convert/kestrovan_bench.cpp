// Throughput and peak memory of `kestrovan -a -o` on a large FLV of interleaved video and MP3 audio,
// against `cp` of the same file in the same run. Usage: kestrovan_bench KESTROVAN [MEGABYTES]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A 44100 Hz MPEG-1 Layer III stereo frame: 417 bytes at 128 kbit/s (index 9), 522 at 160 (index 10).
Bytes Mp3Frame(int bitrate_index) {
  int kbps = bitrate_index == 9 ? 128 : 160;
  Bytes frame(static_cast<size_t>(144 * kbps * 1000 / 44100), 0x55);
  frame[0] = 0xFF;
  frame[1] = 0xFB;
  frame[2] = static_cast<unsigned char>(bitrate_index << 4);
  frame[3] = 0x00;
  return frame;
}

Bytes Join(const Bytes& a, const Bytes& b) {
  Bytes joined(a.size() + b.size());
  std::copy(a.begin(), a.end(), joined.begin());
  std::copy(b.begin(), b.end(), joined.begin() + static_cast<std::ptrdiff_t>(a.size()));
  return joined;
}

void PutTag(std::ofstream& out, unsigned char type, unsigned char media_info, const Bytes& payload,
            uint32_t ts) {
  uint32_t size = static_cast<uint32_t>(payload.size() + 1);
  unsigned char header[12] = {type, static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 8),
                              static_cast<unsigned char>(size), static_cast<unsigned char>(ts >> 16),
                              static_cast<unsigned char>(ts >> 8), static_cast<unsigned char>(ts),
                              static_cast<unsigned char>(ts >> 24), 0, 0, 0, media_info};
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  out.write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
  uint32_t total = size + 11;
  unsigned char previous[4] = {static_cast<unsigned char>(total >> 24), static_cast<unsigned char>(total >> 16),
                               static_cast<unsigned char>(total >> 8), static_cast<unsigned char>(total)};
  out.write(reinterpret_cast<const char*>(previous), 4);
}

// Writes the FLV: per step one 4000-byte video frame (25 fps) and one audio tag of two MP3 frames.
// With `vbr` the audio alternates 128 and 160 kbit/s, so the writer keeps every frame offset for the
// Xing table. Returns the audio bytes.
uint64_t MakeFlv(const std::filesystem::path& path, uint64_t min_bytes, bool vbr) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const unsigned char header[13] = {'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0};
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  Bytes video(4000, 0x11);
  video[0] = 0x00;
  const Bytes audio = Join(Mp3Frame(9), Mp3Frame(vbr ? 10 : 9));
  uint64_t written = 13, audio_bytes = 0;
  for (uint32_t step = 0; written < min_bytes; ++step) {
    PutTag(out, 9, step % 250 == 0 ? 0x12 : 0x22, video, step * 40);
    PutTag(out, 8, 0x2F, audio, step * 52);
    written += (11 + 1 + video.size() + 4) + (11 + 1 + audio.size() + 4);
    audio_bytes += audio.size();
  }
  return audio_bytes;
}

// Writes an FLV whose only audio tag has the largest data size the format allows (16 MiB): the
// converter must not need memory in proportion to it.
void MakeLargeTagFlv(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const unsigned char header[13] = {'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0};
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  Bytes payload;
  const Bytes frame = Mp3Frame(9);
  while (payload.size() + frame.size() <= 0xFFFFFE) payload.insert(payload.end(), frame.begin(), frame.end());
  payload.resize(0xFFFFFE, 0);
  PutTag(out, 8, 0x2F, payload, 0);
}

struct Measured {
  double seconds = 0;
  double cpu_seconds = 0;  // user + system time of the child
  long max_rss_kib = 0;
  int exit_code = -1;
};

Measured Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::vector<std::string> copies(args);
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(stdout);  // the child must not repeat what is still buffered
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    FILE* quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Measured m;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.max_rss_kib = usage.ru_maxrss;
  m.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  m.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}

// Runs both commands `tries` times, alternating, with the written data flushed to disk between runs so
// that one command's write-back does not slow the other; keeps the best time of each (the least
// disturbed by other work on the machine) and the largest resident memory seen.
void Compare(const std::vector<std::string>& first, const std::vector<std::string>& second, int tries,
             Measured* best_first, Measured* best_second) {
  auto keep = [](Measured* best, const Measured& m, int i) {
    long rss = std::max(best->max_rss_kib, m.max_rss_kib);
    if (i == 0 || m.exit_code != 0 || (best->exit_code == 0 && m.seconds < best->seconds)) *best = m;
    best->max_rss_kib = rss;
  };
  for (int i = 0; i < tries; ++i) {
    keep(best_first, Run(first), i);
    sync();
    keep(best_second, Run(second), i);
    sync();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s KESTROVAN [MEGABYTES]\n", argv[0]);
    return 2;
  }
  std::string kestrovan = std::filesystem::absolute(argv[1]).string();
  uint64_t megabytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 220;
  auto dir = std::filesystem::temp_directory_path() / ("kestrovan-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  int failures = 0;
  const int kTries = 7;

  for (bool vbr : {false, true}) {
    auto input = dir / "input.flv";
    auto output = dir / "input.mp3";
    uint64_t audio = MakeFlv(input, megabytes * 1000 * 1000, vbr);
    uint64_t size = std::filesystem::file_size(input);
    Run({"/bin/cp", input.string(), (dir / "warm.flv").string()});  // bring the input into the cache

    sync();
    Measured copy, convert;
    Compare({"/bin/cp", input.string(), (dir / "copy.flv").string()}, {kestrovan, "-a", "-o", input.string()},
            kTries, &copy, &convert);
    uint64_t expected = audio + (vbr ? 208 : 0);
    bool ok = copy.exit_code == 0 && convert.exit_code == 0 && std::filesystem::exists(output) &&
              std::filesystem::file_size(output) == expected;
    double mb = static_cast<double>(size) / 1e6;
    double ratio = copy.seconds / convert.seconds;
    double rss_mib = static_cast<double>(convert.max_rss_kib) / 1024.0;
    std::printf("%s audio: input %.1f MB (%.1f%% MP3 audio), best of %d runs\n", vbr ? "VBR" : "CBR", mb,
                100.0 * static_cast<double>(audio) / static_cast<double>(size), kTries);
    std::printf("  cp                : %.3f s  %7.0f MB/s  (cpu %.3f s)\n", copy.seconds, mb / copy.seconds,
                copy.cpu_seconds);
    std::printf("  kestrovan -a -o   : %.3f s  %7.0f MB/s  (cpu %.3f s, output %s)\n", convert.seconds,
                mb / convert.seconds, convert.cpu_seconds, ok ? "correct size" : "WRONG");
    std::printf("  throughput ratio  : %.2f   (goal >= 0.80)%s\n", ratio, ratio >= 0.8 ? "" : "  MISSED");
    std::printf("  kestrovan peak RSS: %.2f MiB (goal < 8 MiB)%s\n", rss_mib, rss_mib < 8 ? "" : "  MISSED");
    if (!ok) ++failures;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  MakeLargeTagFlv(dir / "large.flv");
  Measured large = Run({kestrovan, "-a", "-o", (dir / "large.flv").string()});
  double large_mib = static_cast<double>(large.max_rss_kib) / 1024.0;
  std::printf("One 16 MiB audio tag: kestrovan peak RSS %.2f MiB (goal < 8 MiB)%s\n", large_mib,
              large.exit_code == 0 && large_mib < 8 ? "" : "  MISSED");
  if (large.exit_code != 0) ++failures;
  std::filesystem::remove_all(dir);
  return failures == 0 ? 0 : 1;
}
