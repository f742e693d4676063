// Download benchmarks of p2p.so against a fixture server on 127.0.0.1 (run by run.sh, not by CTest).
//
//   p2p_bench throughput MEGABYTES ROUNDS
//     Serves a generated file of MEGABYTES MiB and downloads it ROUNDS times with `curl -o` and through
//     p2p.so, alternating; prints each speed and the ratio of the best p2p.so speed to the best curl
//     speed (goal: at least 0.9). P2P_BENCH_VERBOSE=1 also prints when the first bytes arrived.
//   p2p_bench limit KILOBYTES_PER_SECOND SECONDS
//     Sets the speed limit, downloads from an unthrottled server and prints the achieved speed over the
//     limit from the start call, over SECONDS (goal: within 5% of 1) and over twice as long.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/record_layout.h"
#include "p2p/p2p_test_support.h"
#include "testsupport/fixture_server.h"

extern char** environ;

namespace morvalin::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(const struct rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU time of this process so far: the fixture server's threads and the engine's.
double ProcessCpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage);
}

bool WriteGeneratedFile(const fs::path& path, std::size_t megabytes) {
  std::ofstream out(path, std::ios::binary);
  const std::string block = PatternData(1 << 20, 42);
  for (std::size_t i = 0; i < megabytes && out; ++i) {
    std::string chunk = block;
    chunk[0] = static_cast<char>(i);  // no two mebibytes alike
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  return static_cast<bool>(out);
}

// CPU seconds used so far by the engine's own thread (named "p2p-engine"), 0 when it is not running.
double EngineThreadCpuSeconds() {
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/self/task", ec)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    if (name != "p2p-engine") continue;
    std::ifstream stat(task.path() / "stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i == 14 || i == 15) ticks += std::stoll(field);
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
  }
  return 0;
}

// Runs `curl -s -o target url`; returns the seconds it took, or a negative number when it failed.
double TimeCurl(const std::string& url, const fs::path& target, double* cpu_seconds) {
  std::vector<std::string> args = {"curl", "-s", "-o", target.string(), url};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  const double seconds = Seconds(Clock::now() - start);
  if (cpu_seconds) *cpu_seconds = CpuSeconds(usage);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// Downloads `url` to `dir`/`name` through p2p.so; returns the seconds from start to the query that
// reports it finished, or a negative number when it failed.
double TimeEngine(const std::string& url, const fs::path& dir, const std::string& name) {
  ParamBlock block(U16(url), U16(name), dir.u16string());
  const std::uint32_t handle = P2p().CreateTask(block.data());
  const auto start = Clock::now();
  P2p().StartTask(handle);
  double first_byte = -1;
  const InfoBlock done = QueryUntil(
      handle,
      [&](const InfoBlock& b) {
        if (first_byte < 0 && b.nTotalDownload() > 0) first_byte = Seconds(Clock::now() - start);
        return b.stat() == layout::kStatFinished || b.stat() == layout::kStatFailed;
      },
      std::chrono::minutes(10));
  const double seconds = Seconds(Clock::now() - start);
  if (getenv("P2P_BENCH_VERBOSE")) std::printf("  first bytes after %.3f s, finished after %.3f s\n", first_byte, seconds);
  P2p().DeleteTask(handle);
  return done.stat() == layout::kStatFinished ? seconds : -1;
}

bool SameFiles(const fs::path& a, const fs::path& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  std::vector<char> ba(1 << 20), bb(1 << 20);
  for (;;) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount()) return false;
    if (fa.gcount() == 0) return true;
    if (!std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) return false;
  }
}

int Throughput(std::size_t megabytes, int rounds) {
  TempDir dir;
  const fs::path source = dir.path() / "source.bin";
  if (!WriteGeneratedFile(source, megabytes)) {
    std::fprintf(stderr, "cannot write %s\n", source.c_str());
    return 1;
  }
  FixtureServer server;
  server.ServeFile("/big.bin", source.string());
  const std::string url = server.Url("/big.bin");
  const double mib = static_cast<double>(megabytes);
  double best_curl = 0, best_engine = 0;
  for (int round = 1; round <= rounds; ++round) {
    const fs::path curl_file = dir.path() / "curl.bin";
    // Each download starts with no dirty pages to write back, and the order alternates, so that
    // neither side pays for the other's writes.
    double curl = 0, curl_cpu = 0, curl_server_cpu = 0, engine = 0, engine_cpu = 0, engine_thread_cpu = 0;
    auto run_curl = [&] {
      sync();
      const double before = ProcessCpuSeconds();
      curl = TimeCurl(url, curl_file, &curl_cpu);
      curl_server_cpu = ProcessCpuSeconds() - before;
      fs::remove(curl_file);
    };
    auto run_engine = [&] {
      sync();
      const double before = ProcessCpuSeconds();
      const double thread_before = EngineThreadCpuSeconds();
      engine = TimeEngine(url, dir.path(), "engine.bin");
      engine_cpu = ProcessCpuSeconds() - before;
      engine_thread_cpu = EngineThreadCpuSeconds() - thread_before;
    };
    if (round % 2) {
      run_curl();
      run_engine();
    } else {
      run_engine();
      run_curl();
    }
    const bool same = engine > 0 && SameFiles(source, dir.path() / "engine.bin");
    fs::remove(dir.path() / "engine.bin");
    if (curl <= 0 || engine <= 0 || !same) {
      std::fprintf(stderr, "round %d failed (curl %.2f s, p2p.so %.2f s, identical %d)\n", round, curl, engine, same);
      return 1;
    }
    std::printf(
        "round %d: curl %.0f MiB/s (CPU s: curl %.2f, server %.2f), p2p.so %.0f MiB/s (CPU s: engine thread %.2f, "
        "server %.2f)\n",
        round, mib / curl, curl_cpu, curl_server_cpu, mib / engine, engine_thread_cpu, engine_cpu - engine_thread_cpu);
    best_curl = std::max(best_curl, mib / curl);
    best_engine = std::max(best_engine, mib / engine);
  }
  std::printf("download %zu MiB: best curl %.0f MiB/s, best p2p.so %.0f MiB/s, ratio p2p.so/curl %.2f (goal >= 0.90)\n",
              megabytes, best_curl, best_engine, best_engine / best_curl);
  P2p().UnInit();
  return 0;
}

int Limit(int kilobytes_per_second, int seconds) {
  TempDir dir;
  FixtureServer server;
  const double limit = static_cast<double>(kilobytes_per_second) * 1024;
  const int longer = 2 * seconds;
  // Enough that the download is still running when the measurement ends.
  server.ServeData("/limited.bin", PatternData(static_cast<std::size_t>(limit * (longer + 10)), 7));
  P2p().SetSpeedLimit(kilobytes_per_second);
  ParamBlock block(U16(server.Url("/limited.bin")), u"limited.bin", dir.u16());
  const std::uint32_t handle = P2p().CreateTask(block.data());
  const auto start = Clock::now();
  P2p().StartTask(handle);

  // Every change of the reported byte count, with the time it was seen. Under a limit the engine
  // reports about once a second, so a figure is taken at the time of the report it comes from.
  struct Sample {
    double at;
    std::int64_t bytes;
  };
  std::vector<Sample> samples{{0, 0}};
  std::int32_t stat = 0;
  while (Seconds(Clock::now() - start) < longer + 1) {
    const InfoBlock info = Query(handle);
    stat = info.stat();
    if (info.nTotalDownload() != samples.back().bytes) {
      samples.push_back({Seconds(Clock::now() - start), info.nTotalDownload()});
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (std::size_t i = 1; i < samples.size(); ++i) {
    const double rate = static_cast<double>(samples[i].bytes - samples[i - 1].bytes) / (samples[i].at - samples[i - 1].at);
    std::printf("  %6.2f s: %9lld bytes, %7.1f KB/s since the report before\n", samples[i].at,
                static_cast<long long>(samples[i].bytes), rate / 1024);
  }
  // The achieved speed from the start call to the last report within `within` seconds.
  auto from_start = [&](double within) {
    const Sample* last = &samples.front();
    for (const auto& s : samples) {
      if (s.at <= within) last = &s;
    }
    return last->at > 0 ? static_cast<double>(last->bytes) / last->at : 0.0;
  };
  const double first = from_start(seconds);
  const double second = from_start(longer);
  std::printf("limit %d KB/s: over %d s from the start %.1f KB/s, achieved/limit %.3f (goal 0.95 to 1.05); "
              "over %d s %.1f KB/s, achieved/limit %.3f\n",
              kilobytes_per_second, seconds, first / 1024, first / limit, longer, second / 1024, second / limit);
  P2p().UnInit();
  return stat == layout::kStatDownloading ? 0 : 1;
}

}  // namespace
}  // namespace morvalin::test

int main(int argc, char** argv) {
  using namespace morvalin::test;
  if (!P2p().error.empty()) {
    std::fprintf(stderr, "%s\n", P2p().error.c_str());
    return 1;
  }
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "throughput" && argc == 4) return Throughput(std::stoul(argv[2]), std::stoi(argv[3]));
  if (mode == "limit" && argc == 4) return Limit(std::stoi(argv[2]), std::stoi(argv[3]));
  std::fprintf(stderr, "usage: p2p_bench throughput MEGABYTES ROUNDS | limit KILOBYTES_PER_SECOND SECONDS\n");
  return 2;
}
