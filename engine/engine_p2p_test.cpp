// The binding end to end: the system's records, through DlopenEngine, into our engine library p2p.so
// in the run directory, downloading from a fixture server on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "engine/engine_binding.h"
#include "engine/engine_calls.h"
#include "engine/record_layout.h"
#include "engine/task_records.h"
#include "platform/code_page.h"
#include "platform/file_ops.h"
#include "testsupport/fixture_server.h"

namespace morvalin {
namespace {

class TempDirectory {
 public:
  TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "engine_p2p_XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDirectory() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string RandomBytes(std::size_t size) {
  std::mt19937 random(20261211);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

TEST(EngineEndToEndTest, DownloadsAFileThroughTheBinding) {
  const std::string data = RandomBytes(3 * 1024 * 1024 + 17);
  test::FixtureServer server;
  server.ServeData("/play/track.mp3", data);
  TempDirectory directory;
  ASSERT_FALSE(directory.path().empty());

  DlopenEngine engine(MORVALIN_RUN_DIR "/p2p.so");
  TaskParamBlock params;
  TaskInfoBlock info;
  // As the system creates a task: URL, file name and directory in code page 936, auto-rename off,
  // resume on.
  const std::string file_name = Gbk("舞曲 track.mp3");
  ASSERT_NE(params.Build(server.Url("/play/track.mp3"), {}, {}, file_name, directory.path() + "/", false,
                         true, true),
            nullptr);
  const TaskHandle handle = CreateEngineTask(engine, params);
  ASSERT_NE(handle, 0u);
  ASSERT_NE(info.Build(), nullptr);
  engine.XL_StartTask(handle);

  // Poll as the system does, until the task is finished or failed; the limit is only a safety net.
  std::int32_t stat = 0;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < give_up) {
    if (QueryEngineTask(engine, handle, info) != 0) {
      stat = info.stat();
      if (stat == layout::kStatFinished || stat == layout::kStatFailed) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(stat, layout::kStatFinished);
  EXPECT_EQ(info.szFilename(), file_name);
  EXPECT_EQ(info.nTotalSize(), static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(info.nTotalDownload(), static_cast<std::int64_t>(data.size()));
  EXPECT_FLOAT_EQ(info.fPercent(), 1.0f);
  // The file lands under its name in UTF-8 on disk, byte for byte as served.
  const std::string on_disk = directory.path() + "/" + GbkToUtf8(file_name);
  EXPECT_TRUE(ReadWholeFile(on_disk) == data) << on_disk;
  engine.XL_UnInit();
}

}  // namespace
}  // namespace morvalin
