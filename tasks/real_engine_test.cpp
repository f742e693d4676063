// Downloads through the real engine library from a fixture server on 127.0.0.1, with a real store and
// the real converter: what the user meets when a task finishes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <filesystem>
#include <functional>

#include "convert/flv_test_support.h"
#include "engine/engine_binding.h"
#include "platform/file_ops.h"
#include "tasks/flv_conversion.h"
#include "tasks/task_test_fixture.h"
#include "testsupport/fixture_server.h"

namespace morvalin::test {
namespace {

using testing::Bytes;

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class RealEngineTest : public ::testing::Test {
 protected:
  RealEngineTest()
      : engine_(std::string(MORVALIN_RUN_DIR) + "/p2p.so"),
        converter_(std::string(MORVALIN_RUN_DIR) + "/kestrovan"),
        table_(engine_, param_, info_, handles_, store_, window_, converter_) {
    EnsureCoreApplication();
    store_.OpenStore(MakeEmptyStore(scratch_.Path()), std::string(kStorePassword));
    // A directory with a blank and Chinese in its name, as the user's music folder may have.
    music_ = scratch_.Path() / "DJ 舞曲";
    std::filesystem::create_directories(music_);
    engine_.XL_Init();
  }
  ~RealEngineTest() override { engine_.XL_UnInit(); }

  void CreateTask(const std::string& url, const std::string& name) {
    const std::string directory = Utf8ToGbk(music_.string() + "/");
    table_.AppendTask(url, Utf8ToGbk(name), directory);
    RecordSet& pending = store_.记录集1;
    ASSERT_EQ(pending.AddRecord(), 1);
    pending.WriteField("文件完整地址", url);
    pending.WriteField("下载文件名", Utf8ToGbk(name));
    pending.WriteField("下载路径", directory);
    pending.WriteField("歌曲来源", "sitee.example");
    RenumberPendingRecords(pending);
  }

  // Ticks as the timer would, until `done` holds or a generous deadline passes.
  bool PollUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      table_.PollTasks();
      QCoreApplication::processEvents();
      QThread::msleep(100);
    }
    return done();
  }
  bool PollUntilAllFinished() {
    return PollUntil([this] { return handles_.empty(); });
  }

  ScratchDirectory scratch_;
  std::filesystem::path music_;
  DlopenEngine engine_;
  TaskParamBlock param_;
  TaskInfoBlock info_;
  TaskHandleList handles_;
  TaskStore store_;
  MemoryTaskWindow window_;
  ProcessFlvConverter converter_;
  TaskTable table_;
  FixtureServer server_;
};

TEST_F(RealEngineTest, DownloadsMoveToTheFinishedListAndFlashVideoEndsAsMp3) {
  std::string track(700 * 1024, '\0');
  for (std::size_t i = 0; i < track.size(); ++i) track[i] = static_cast<char>((i * 131) % 251);
  server_.ServeData("/media/track.mp3", track);

  std::vector<Bytes> frames;
  testing::FlvBuilder flv;
  for (int i = 0; i < 40; ++i) {
    frames.push_back(testing::Mp3Frame(9, 3, 0, 0, 0, static_cast<std::uint8_t>(i)));
    flv.Audio(testing::kMp3Audio, frames.back(), static_cast<std::uint32_t>(i * 26));
  }
  server_.ServeData("/media/mix.flv", AsString(flv.bytes()));

  CreateTask(server_.Url("/media/track.mp3"), "第一首 track.mp3");
  CreateTask(server_.Url("/media/mix.flv"), "second mix.flv");
  EXPECT_EQ(window_.timer_period, 1000);
  ASSERT_TRUE(PollUntilAllFinished());

  EXPECT_EQ(window_.download_list.RowCount(), 0);
  EXPECT_EQ(store_.记录集1.RecordCount(), 0);
  ASSERT_EQ(window_.finished_list.RowCount(), 2);
  std::vector<std::string> finished_names{GbkToUtf8(window_.finished_list.CellText(0, kDoneColName)),
                                          GbkToUtf8(window_.finished_list.CellText(1, kDoneColName))};
  std::sort(finished_names.begin(), finished_names.end());
  EXPECT_EQ(finished_names, (std::vector<std::string>{"second mix.flv", "第一首 track.mp3"}));
  EXPECT_EQ(GbkToUtf8(window_.finished_list.CellText(0, kDoneColDirectory)), music_.string() + "/");
  EXPECT_EQ(window_.finished_list.StateImage(1), kIconFinished);
  ASSERT_EQ(store_.记录集3.RecordCount(), 2);
  store_.记录集3.GoToRecord(0);
  EXPECT_EQ(store_.记录集3.ReadText("歌曲来源"), "sitee.example");

  EXPECT_EQ(ReadWholeFile((music_ / "第一首 track.mp3").string()), track);
  ASSERT_TRUE(converter_.WaitForAll(60000));
  EXPECT_EQ(ReadWholeFile((music_ / "second mix.mp3").string()), AsString(testing::Concat(frames)));
  EXPECT_FALSE(FileExists((music_ / "second mix.flv").string()));
}

TEST_F(RealEngineTest, PauseResumeAndDeleteActOnARunningDownload) {
  server_.ServeData("/media/slow.mp3", std::string(4 << 20, 'x'), 128 * 1024);
  CreateTask(server_.Url("/media/slow.mp3"), "slow.mp3");
  TaskListView& list = window_.download_list;
  const auto received = [&] { return list.CellText(0, kColReceived); };
  ASSERT_TRUE(PollUntil([&] { return list.StateImage(0) == kIconDownloading && received() != "0.00MB"; }));

  // The engine reports a stop or a start in its next answer, so the next tick keeps the icon.
  table_.PauseAllTasks();
  EXPECT_EQ(list.StateImage(0), kIconPaused);
  table_.PollTasks();
  EXPECT_EQ(list.StateImage(0), kIconPaused);
  table_.StartAllTasks();
  EXPECT_EQ(list.StateImage(0), kIconDownloading);
  table_.PollTasks();
  EXPECT_EQ(list.StateImage(0), kIconDownloading);

  window_.download_list.Select(0);
  window_.directory_text = Utf8ToGbk(music_.string() + "/");
  table_.DeleteSelectedTask();
  EXPECT_EQ(list.RowCount(), 1);  // still listed until a poll sees the task failed
  ASSERT_TRUE(PollUntil([&] { return handles_.empty(); }));
  EXPECT_EQ(window_.finished_list.RowCount(), 0);
  EXPECT_EQ(store_.记录集1.RecordCount(), 0);
  // The partial file and the engine's control file go; the engine removes them in the background.
  ASSERT_TRUE(PollUntil([&] {
    return !FileExists((music_ / "slow.mp3").string()) && !FileExists((music_ / "slow.mp3.aria2").string());
  }));
}

}  // namespace
}  // namespace morvalin::test
