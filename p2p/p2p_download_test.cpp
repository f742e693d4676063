// The real p2p.so against the fixture server: a download from creation to the finished file, stop and
// resume, delete and temporary files, and a download cut by XL_UnInit that a new session resumes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/record_layout.h"
#include "p2p/p2p_test_support.h"
#include "testsupport/fixture_server.h"

namespace morvalin::test {
namespace {

namespace fs = std::filesystem;
using layout::kStatDownloading;
using layout::kStatFailed;
using layout::kStatFinished;
using layout::kStatPaused;

bool Is(const InfoBlock& block, std::int32_t stat) { return block.stat() == stat; }

class P2pDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(P2p().error.empty()) << P2p().error; }
  void TearDown() override { P2p().UnInit(); }

  std::uint32_t Create(const std::string& path, const std::string& name) {
    ParamBlock block(U16(server_.Url(path)), U16(name), dir_.u16());
    return P2p().CreateTask(block.data());
  }
  std::uint32_t CreateAndStart(const std::string& path, const std::string& name) {
    const std::uint32_t handle = Create(path, name);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(P2p().StartTask(handle), 1);
    return handle;
  }
  // The start offset of the last ranged request for `path`, or -1 when it had no Range header.
  long LastRangeStart(const std::string& path) {
    long start = -1;
    for (const auto& request : server_.Requests()) {
      if (request.path != path) continue;
      const std::string range = request.Header("Range");
      start = range.rfind("bytes=", 0) == 0 ? std::stol(range.substr(6)) : -1;
    }
    return start;
  }
  void DelTempFile(const std::string& name) {
    ParamBlock image(u"", U16(name), dir_.u16(), false, false);
    EXPECT_EQ(P2p().DelTempFile(image.data()), 1);
  }

  FixtureServer server_;
  TempDir dir_;
};

TEST_F(P2pDownloadTest, ReportsProgressAndWritesTheServedBytes) {
  const std::string data = PatternData(3 * 1024 * 1024 + 123);
  server_.ServeData("/track.mp3", data, 1024 * 1024);
  const std::uint32_t handle = Create("/track.mp3", "track.mp3");
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(Query(handle).stat(), kStatPaused);  // created paused

  ASSERT_EQ(P2p().StartTask(handle), 1);
  EXPECT_EQ(Query(handle).stat(), kStatDownloading);
  const InfoBlock running = QueryUntil(handle, [&](const InfoBlock& b) {
    return b.stat() != kStatDownloading || (b.nTotalDownload() > 0 && b.nSpeed() > 0);
  });
  ASSERT_EQ(running.stat(), kStatDownloading);
  EXPECT_EQ(running.nTotalSize(), static_cast<std::int64_t>(data.size()));
  EXPECT_GT(running.fPercent(), 0.0f);
  EXPECT_LT(running.fPercent(), 1.0f);
  EXPECT_EQ(running.szFilename(), u"track.mp3");

  std::int32_t result = 0;
  const InfoBlock done = QueryUntil(handle, [](const InfoBlock& b) { return Is(b, kStatFinished); });
  Query(handle, &result);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(done.stat(), kStatFinished);
  EXPECT_EQ(done.nTotalSize(), static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(done.nTotalDownload(), static_cast<std::int64_t>(data.size()));
  EXPECT_FLOAT_EQ(done.fPercent(), 1.0f);
  EXPECT_EQ(done.nSpeed(), 0);
  EXPECT_EQ(done.szFilename(), u"track.mp3");
  // The laid-out bytes are the engine's; the rest of the caller's block is left alone.
  for (std::size_t i = layout::info::kLaidOut; i < layout::info::kCapacity; ++i) {
    ASSERT_EQ(done.bytes()[i], InfoBlock::kMarker) << i;
  }
  EXPECT_TRUE(ReadFile(dir_.path() / "track.mp3") == data);
  EXPECT_EQ(ListDir(dir_.path()), std::vector<fs::path>{"track.mp3"});  // no control file left
}

TEST_F(P2pDownloadTest, NotFoundFails) {
  const std::uint32_t handle = CreateAndStart("/missing.mp3", "missing.mp3");
  const InfoBlock block = QueryUntil(handle, [](const InfoBlock& b) { return b.stat() != kStatDownloading; });
  EXPECT_EQ(block.stat(), kStatFailed);
  EXPECT_NE(block.fail_code(), 0);
  EXPECT_FALSE(fs::exists(dir_.path() / "missing.mp3"));
}

TEST_F(P2pDownloadTest, StopPausesAndStartResumesWhereItStopped) {
  const std::string data = PatternData(512 * 1024, 2);
  server_.ServeData("/song.flv", data, 64 * 1024);
  const std::uint32_t handle = CreateAndStart("/song.flv", "song.flv");
  ASSERT_EQ(QueryUntil(handle, [](const InfoBlock& b) { return b.nTotalDownload() >= 64 * 1024; }).stat(),
            kStatDownloading);

  ASSERT_EQ(P2p().StopTask(handle), 1);
  EXPECT_EQ(Query(handle).stat(), kStatPaused);  // at once, before aria2 has acted
  // Once paused, the download leaves its control file behind and its speed is no longer reported.
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(dir_.path() / "song.flv.aria2"); }));
  EXPECT_EQ(Query(handle).nSpeed(), 0);
  const std::int64_t kept = Query(handle).nTotalDownload();
  EXPECT_GT(kept, 0);
  EXPECT_LT(kept, static_cast<std::int64_t>(data.size()));

  server_.ServeData("/song.flv", data);  // the rest comes at full speed
  ASSERT_EQ(P2p().StartTask(handle), 1);
  EXPECT_EQ(Query(handle).stat(), kStatDownloading);
  ASSERT_EQ(QueryUntil(handle, [](const InfoBlock& b) { return Is(b, kStatFinished); }).stat(), kStatFinished);
  EXPECT_TRUE(ReadFile(dir_.path() / "song.flv") == data);
  EXPECT_GT(LastRangeStart("/song.flv"), 0);  // resumed, not started over
}

TEST_F(P2pDownloadTest, DeleteFailsTheTaskAndDelTempFileRemovesPartialAndControlFile) {
  server_.ServeData("/cut.mp3", PatternData(512 * 1024, 3), 64 * 1024);
  const std::uint32_t handle = CreateAndStart("/cut.mp3", "cut.mp3");
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(dir_.path() / "cut.mp3.aria2"); }));
  ASSERT_GT(QueryUntil(handle, [](const InfoBlock& b) { return b.nTotalDownload() > 0; }).nTotalDownload(), 0);

  // The program's delete command: XL_DeleteTask, then XL_DelTempFile straight away.
  ASSERT_EQ(P2p().DeleteTask(handle), 1);
  DelTempFile("cut.mp3");
  EXPECT_EQ(Query(handle).stat(), kStatFailed);
  EXPECT_TRUE(WaitUntil([&] { return ListDir(dir_.path()).empty(); })) << ListDir(dir_.path()).size();

  // A deleted handle stays failed; starting or stopping it changes nothing.
  EXPECT_EQ(P2p().StartTask(handle), 0);
  EXPECT_EQ(P2p().StopTask(handle), 0);
  EXPECT_EQ(Query(handle).stat(), kStatFailed);
}

TEST_F(P2pDownloadTest, DelTempFileNeverRemovesAFinishedFile) {
  const std::string data = PatternData(200 * 1024, 4);
  server_.ServeData("/done.mp3", data);
  const std::uint32_t handle = CreateAndStart("/done.mp3", "done.mp3");
  ASSERT_EQ(QueryUntil(handle, [](const InfoBlock& b) { return Is(b, kStatFinished); }).stat(), kStatFinished);
  ASSERT_EQ(P2p().DeleteTask(handle), 1);
  DelTempFile("done.mp3");
  P2p().UnInit();  // every queued command has been carried out once it returns
  EXPECT_TRUE(ReadFile(dir_.path() / "done.mp3") == data);
}

TEST_F(P2pDownloadTest, DownloadCutByUnInitResumesInANewSession) {
  const std::string data = PatternData(512 * 1024, 5);
  server_.ServeData("/long.mp3", data, 64 * 1024);
  const std::uint32_t first = CreateAndStart("/long.mp3", "long.mp3");
  ASSERT_GE(QueryUntil(first, [](const InfoBlock& b) { return b.nTotalDownload() >= 100 * 1024; }).nTotalDownload(),
            100 * 1024);

  ASSERT_EQ(P2p().UnInit(), 1);
  EXPECT_TRUE(fs::exists(dir_.path() / "long.mp3.aria2"));
  ASSERT_TRUE(fs::exists(dir_.path() / "long.mp3"));
  std::int32_t result = -1;
  Query(first, &result);  // the new session does not know the old handle
  EXPECT_EQ(result, 0);

  server_.ServeData("/long.mp3", data);
  const std::uint32_t second = CreateAndStart("/long.mp3", "long.mp3");
  EXPECT_NE(second, first);  // handles are never reused in a run
  ASSERT_EQ(QueryUntil(second, [](const InfoBlock& b) { return Is(b, kStatFinished); }).stat(), kStatFinished);
  EXPECT_TRUE(ReadFile(dir_.path() / "long.mp3") == data);
  EXPECT_GE(LastRangeStart("/long.mp3"), 64 * 1024);
  EXPECT_FALSE(fs::exists(dir_.path() / "long.mp3.aria2"));
}

TEST_F(P2pDownloadTest, CallsBeforeInitWorkAndInitKeepsThem) {
  const std::string data = PatternData(100 * 1024, 6);
  server_.ServeData("/early.mp3", data);
  // The program restores its tasks before XL_Init: speed limit, create, start, and stop for some.
  EXPECT_EQ(P2p().SetSpeedLimit(9999), 1);
  const std::uint32_t started = CreateAndStart("/early.mp3", "early.mp3");
  const std::uint32_t stopped = Create("/early.mp3", "kept.mp3");
  EXPECT_EQ(P2p().StartTask(stopped), 1);
  EXPECT_EQ(P2p().StopTask(stopped), 1);
  EXPECT_EQ(P2p().Init(), 1);

  EXPECT_EQ(QueryUntil(started, [](const InfoBlock& b) { return Is(b, kStatFinished); }).stat(), kStatFinished);
  EXPECT_TRUE(ReadFile(dir_.path() / "early.mp3") == data);
  EXPECT_EQ(Query(stopped).stat(), kStatPaused);
  EXPECT_EQ(P2p().Init(), 1);  // harmless when already running
  EXPECT_EQ(Query(stopped).stat(), kStatPaused);
}

TEST_F(P2pDownloadTest, CreatedTaskDownloadsNothingUntilStarted) {
  server_.ServeData("/waiting.mp3", PatternData(50000, 8));
  server_.ServeData("/busy.mp3", PatternData(300000, 9));
  const std::uint32_t waiting = Create("/waiting.mp3", "waiting.mp3");
  // Another download keeps the engine running meanwhile.
  const std::uint32_t busy = CreateAndStart("/busy.mp3", "busy.mp3");
  ASSERT_EQ(QueryUntil(busy, [](const InfoBlock& b) { return Is(b, kStatFinished); }).stat(), kStatFinished);
  EXPECT_EQ(Query(waiting).stat(), kStatPaused);
  EXPECT_EQ(Query(waiting).nTotalDownload(), 0);
  for (const auto& path : server_.RequestedPaths()) EXPECT_NE(path, "/waiting.mp3");
  EXPECT_FALSE(fs::exists(dir_.path() / "waiting.mp3"));
}

TEST_F(P2pDownloadTest, StartAfterAFailureTriesAgain) {
  const std::uint32_t handle = CreateAndStart("/later.mp3", "later.mp3");
  ASSERT_EQ(QueryUntil(handle, [](const InfoBlock& b) { return b.stat() != kStatDownloading; }).stat(), kStatFailed);
  const std::string data = PatternData(64 * 1024, 7);
  server_.ServeData("/later.mp3", data);
  ASSERT_EQ(P2p().StartTask(handle), 1);
  EXPECT_EQ(Query(handle).stat(), kStatDownloading);
  EXPECT_EQ(QueryUntil(handle, [](const InfoBlock& b) { return b.stat() != kStatDownloading; }).stat(), kStatFinished);
  EXPECT_TRUE(ReadFile(dir_.path() / "later.mp3") == data);
}

}  // namespace
}  // namespace morvalin::test
