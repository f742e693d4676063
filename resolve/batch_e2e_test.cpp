// The whole road of an address, with the real parts: three play-page addresses pasted into the batch
// window, resolved against pages of a fixture server, downloaded by the engine library p2p.so, polled
// into the finished list and the store, the Flash video turned into an MP3 by the converter program;
// then a restart of the task table from the same store file.
#include <algorithm>
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_binding.h"
#include "engine/record_layout.h"
#include "engine/task_records.h"
#include "platform/code_page.h"
#include "resolve/batch_host.h"
#include "resolve/batch_test_support.h"
#include "resolve/batch_window.h"
#include "store/task_store.h"
#include "tasks/flv_conversion.h"
#include "tasks/memory_task_window.h"
#include "tasks/task_table.h"

namespace morvalin {
namespace {

namespace fs = std::filesystem;
using test::FixtureServer;

// MPEG-1 Layer III frames at 128 kbit/s and 44100 Hz: 417 bytes each, header FF FB 90 64.
std::string Mp3Frames(int count) {
  std::string frames;
  for (int i = 0; i < count; ++i) {
    std::string frame(417, '\0');
    frame[0] = '\xFF', frame[1] = '\xFB', frame[2] = '\x90', frame[3] = '\x64';
    for (std::size_t j = 4; j < frame.size(); ++j) frame[j] = static_cast<char>((i * 31 + j) & 0xFF);
    frames += frame;
  }
  return frames;
}

void PutBigEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// An audio-only FLV whose audio tags carry the given MP3 frames, one frame per tag.
std::string FlvWithMp3Audio(const std::string& frames) {
  std::string flv = "FLV";
  flv += '\x01';            // version
  flv += '\x04';            // audio present
  PutBigEndian(flv, 9, 4);  // header size
  PutBigEndian(flv, 0, 4);  // previous tag size 0
  constexpr std::size_t kFrame = 417;
  for (std::size_t at = 0, n = 0; at < frames.size(); at += kFrame, ++n) {
    const std::string payload = '\x2F' + frames.substr(at, kFrame);  // MP3, 44 kHz, 16-bit, stereo
    flv += '\x08';                                                   // audio tag
    PutBigEndian(flv, static_cast<std::uint32_t>(payload.size()), 3);
    PutBigEndian(flv, static_cast<std::uint32_t>(n * 26), 3);  // time stamp, ms
    flv += '\0';                                               // time stamp high byte
    PutBigEndian(flv, 0, 3);                                   // stream id
    flv += payload;
    PutBigEndian(flv, static_cast<std::uint32_t>(11 + payload.size()), 4);
  }
  return flv;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Pattern(std::size_t size, int seed) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + seed) & 0xFF);
  return data;
}

// The objects one run of the program holds around its task table, with the window side in memory.
struct ProgramRun {
  ProgramRun(DownloadEngine& engine, const std::string& store_file, const std::string& converter_file)
      : converter(converter_file), table(engine, param_block, info_block, handles, store, window, converter) {
    store.OpenStore(store_file, std::string(kStorePassword));
  }

  TaskParamBlock param_block;
  TaskInfoBlock info_block;
  TaskHandleList handles;
  TaskStore store;
  MemoryTaskWindow window;
  ProcessFlvConverter converter;
  TaskTable table;
};

class BatchEndToEndTest : public ::testing::Test {
 protected:
  BatchEndToEndTest() {
    test::TestApplication();
    char pattern[] = "/tmp/batch_e2e_XXXXXX";
    root_ = mkdtemp(pattern);
    downloads_ = root_ / "DJ舞曲";
    fs::create_directories(downloads_);
    store_file_ = (root_ / "Data.mdb").string();
    fs::copy_file(std::string(MORVALIN_RUN_DIR) + "/data/Data.mdb", store_file_);
  }
  ~BatchEndToEndTest() override {
    engine_.XL_UnInit();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::unique_ptr<ProgramRun> StartRun() {
    auto run =
        std::make_unique<ProgramRun>(engine_, store_file_, std::string(MORVALIN_RUN_DIR) + "/kestrovan");
    run->window.speed_text = "9999";
    run->window.directory_text = Utf8ToGbk(downloads_.string() + "/");
    return run;
  }

  // Pastes `lines` into a batch window on `run`'s table, presses its button and waits for the worker.
  void RunBatch(ProgramRun& run, const std::vector<std::string>& lines) {
    TaskTableBatchHost host(run.table);
    BatchWindow window(host, test::SitesServedBy(server_));
    window.show();
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    window.编辑框1->setPlainText(QString::fromStdString(text));
    QTest::mouseClick(window.按钮1, Qt::LeftButton);
    ASSERT_TRUE(test::WaitUntil([&] { return !window.BatchRunning(); }));
  }

  // Polls the table as its timer would until `done` holds.
  bool PollUntil(ProgramRun& run, const std::function<bool()>& done) {
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { run.table.PollTasks(); });
    timer.start(200);
    return test::WaitUntil(done);
  }

  std::string ServePage(const std::string& path, const std::string& body) {
    server_.ServeBody(path, body);
    return server_.Url(path);
  }

  FixtureServer server_;
  DlopenEngine engine_{std::string(MORVALIN_RUN_DIR) + "/p2p.so"};
  fs::path root_, downloads_;
  std::string store_file_;
};

TEST_F(BatchEndToEndTest, PastedAddressesBecomeFinishedTracksAndAnUnfinishedOneSurvivesARestart) {
  // Media served slowly enough that each download is seen running before it ends.
  const std::string d_audio = Pattern(60'000, 1), h_audio = Pattern(50'000, 2);
  const std::string e_frames = Mp3Frames(120);
  server_.ServeData("/media/d.mp3", d_audio, 40'000);
  server_.ServeData("/media/h.mp3", h_audio, 40'000);
  server_.ServeData("/stream/flv/e7.ik", FlvWithMp3Audio(e_frames), 40'000);

  // SiteD: one UTF-8 page with the whole media URL.
  const std::string d_line =
      ServePage("/sited.example/play/1.html", "<script>var url = \"" + server_.Url("/media/d.mp3") +
                                                  "\";</script>"
                                                  "<div class=\"tie\"><h2>舞曲D</h2></div>");
  // SiteE: configuration script on the image host, play page, VW script on the stream host.
  server_.ServeBody("/i/c.php", "var ik123=\"stream/\"; var ikdj=\"" + server_.HostPort() + "\";");
  const std::string e_line = ServePage(
      "/sitee.example/play/2.html",
      "<html><head><TITLE>x</TITLE><meta name=\"keywords\" content=\"TrackE\" /><meta name=\"description\" "
      "content=\"\"><script>var a=1;var furl=\"flv/e7.flv\";</script></head></html>");
  server_.ServeBody("/_sys_vw.vhtml", "var VW_VSID=\"s1d\";");
  // SiteH: play page linking a download page on the web host.
  const std::string h_line = ServePage(
      "/siteh.example/play/3.html",
      "<li class=\"down\"><a href=\"javascript:;\" onClick=\"window.open('/down/3.html');\">down</a></li>");
  server_.ServeBody("/down/3.html",
                    "var url = \"" + server_.Url("/media/h.mp3") + "\";\nvar djname = \"TrackH\";\n");

  auto run = StartRun();
  RunBatch(*run, {d_line, e_line, h_line});

  // Three tasks, in line order, each with its row and its saved record, all downloading.
  ASSERT_EQ(run->handles.size(), 3u);
  ASSERT_EQ(run->window.download_list.RowCount(), 3);
  EXPECT_EQ(run->window.download_list.CellText(0, kColName), Gbk("舞曲D.mp3"));
  EXPECT_EQ(run->window.download_list.CellText(1, kColName), "TrackE.flv");
  EXPECT_EQ(run->window.download_list.CellText(2, kColName), "TrackH.mp3");
  EXPECT_EQ(run->table.Pending().RecordCount(), 3);
  run->table.PollTasks();
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(run->window.download_list.StateImage(row), kIconDownloading) << row;
  }

  // All three finish into the finished list; the Flash video ends as an MP3 beside it.
  ASSERT_TRUE(PollUntil(*run, [&] { return run->window.finished_list.RowCount() == 3; }));
  // The downloads finish in whatever order the engine completes them; each row carries its own source.
  auto finished_rows = [](TaskListView& list) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (int r = 0; r < list.RowCount(); ++r) {
      rows.emplace_back(list.CellText(r, kDoneColName), list.CellText(r, kDoneColSource));
    }
    return rows;
  };
  const auto rows_before_restart = finished_rows(run->window.finished_list);
  auto sorted_rows = rows_before_restart;
  std::sort(sorted_rows.begin(), sorted_rows.end());
  const std::vector<std::pair<std::string, std::string>> expected_rows = {
      {"TrackE.flv", "sitee.example"}, {"TrackH.mp3", "siteh.example"}, {Utf8ToGbk("舞曲D.mp3"), "sited.example"}};
  EXPECT_EQ(sorted_rows, expected_rows);
  ASSERT_TRUE(run->converter.WaitForAll(60'000));
  EXPECT_EQ(run->window.download_list.RowCount(), 0);
  EXPECT_TRUE(run->handles.empty());
  EXPECT_EQ(ReadFile(downloads_ / "舞曲D.mp3"), d_audio);
  EXPECT_EQ(ReadFile(downloads_ / "TrackH.mp3"), h_audio);
  EXPECT_EQ(ReadFile(downloads_ / "TrackE.mp3"), e_frames);
  EXPECT_FALSE(fs::exists(downloads_ / "TrackE.flv"));
  // The media request for SiteE carries the session id and the web host.
  bool asked_with_session = false;
  for (const auto& request : server_.Requests()) {
    if (request.path == "/stream/flv/e7.ik") {
      asked_with_session = request.target == "/stream/flv/e7.ik?vsid=s1d&name=" + server_.HostPort();
    }
  }
  EXPECT_TRUE(asked_with_session);

  // One more address, whose media comes too slowly to finish, into a folder typed but not yet made;
  // then the program ends.
  const fs::path new_folder = downloads_ / "新目录";
  run->window.directory_text = Utf8ToGbk(new_folder.string() + "/");
  server_.ServeData("/media/slow.mp3", Pattern(4'000'000, 3), 20'000);
  const std::string slow_line =
      ServePage("/sited.example/play/4.html", "<script>var url = \"" + server_.Url("/media/slow.mp3") +
                                                  "\";</script>"
                                                  "<div class=\"tie\"><h2>Slow</h2></div>");
  RunBatch(*run, {slow_line});
  ASSERT_TRUE(PollUntil(*run, [&] {
    return run->window.download_list.RowCount() == 1 &&
           run->window.download_list.StateImage(0) == kIconDownloading && fs::exists(new_folder / "Slow.mp3");
  }));
  run.reset();
  engine_.XL_UnInit();

  // The next start: the same store file, auto-start off (no settings were ever applied).
  auto next = StartRun();
  next->table.RestoreSavedState();
  // The finished list comes back with the same rows in the same order.
  EXPECT_EQ(finished_rows(next->window.finished_list), rows_before_restart);
  ASSERT_EQ(next->handles.size(), 1u);
  EXPECT_EQ(next->window.download_list.CellText(0, kColName), "Slow.mp3");
  ASSERT_TRUE(PollUntil(*next, [&] { return next->window.download_list.StateImage(0) == kIconPaused; }));
  EXPECT_EQ(next->window.download_list.CellText(0, kColSource), "sited.example");
}

}  // namespace
}  // namespace morvalin
