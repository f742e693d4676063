// Bad input to the real p2p.so: addresses that cannot be downloaded, servers that misbehave, file names
// that would lead out of the directory, directories that cannot be used, unknown handles, null blocks,
// and several threads at once. Each ends in a defined result, never a crash, a hang or a stray file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

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

bool Settled(const InfoBlock& b) { return b.stat() == kStatFailed || b.stat() == kStatFinished; }

class P2pBadInputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(P2p().error.empty()) << P2p().error; }
  void TearDown() override { P2p().UnInit(); }

  std::uint32_t Start(const std::u16string& url, const std::u16string& name, const std::u16string& dir) {
    ParamBlock block(url, name, dir);
    const std::uint32_t handle = P2p().CreateTask(block.data());
    EXPECT_NE(handle, 0u);
    P2p().StartTask(handle);
    return handle;
  }

  FixtureServer server_;
  TempDir dir_;
};

TEST_F(P2pBadInputTest, AddressesThatCannotBeDownloadedFail) {
  server_.ServeBody("/forbidden", "no", "text/plain", 403);
  const std::vector<std::string> urls = {
      "",
      "not an address",
      "http://",
      "/etc/passwd",
      "file:///etc/passwd",
      "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567",
      "http://127.0.0.1:1/refused.mp3",  // nothing listens on port 1
      "http://[::1/bad-host.mp3",
      server_.Url("/missing.mp3"),
      server_.Url("/forbidden"),
  };
  std::vector<std::uint32_t> handles;
  for (const auto& url : urls) handles.push_back(Start(U16(url), u"x.mp3", dir_.u16()));
  for (std::size_t i = 0; i < urls.size(); ++i) {
    EXPECT_EQ(QueryUntil(handles[i], Settled).stat(), kStatFailed) << urls[i];
  }
  EXPECT_FALSE(fs::exists(dir_.path() / "x.mp3"));
}

TEST_F(P2pBadInputTest, ServerThatClosesEarlyFailsAfterItsRetries) {
  server_.ServeCloseEarly("/short.mp3", PatternData(10000), 100000);
  const std::uint32_t handle = Start(U16(server_.Url("/short.mp3")), u"short.mp3", dir_.u16());
  EXPECT_EQ(QueryUntil(handle, Settled).stat(), kStatFailed);
  for (const auto& name : ListDir(dir_.path())) EXPECT_EQ(name.string().rfind("short.mp3", 0), 0u) << name;
}

TEST_F(P2pBadInputTest, StalledServerNeitherHangsStopNorDeleteNorUnInit) {
  server_.ServeStall("/stall.mp3");
  const std::uint32_t stopped = Start(U16(server_.Url("/stall.mp3")), u"a.mp3", dir_.u16());
  const std::uint32_t deleted = Start(U16(server_.Url("/stall.mp3")), u"b.mp3", dir_.u16());
  const std::uint32_t running = Start(U16(server_.Url("/stall.mp3")), u"c.mp3", dir_.u16());
  ASSERT_TRUE(WaitUntil([&] { return server_.RequestedPaths().size() >= 3; }));
  EXPECT_EQ(Query(running).stat(), kStatDownloading);
  EXPECT_EQ(Query(running).nTotalDownload(), 0);

  EXPECT_EQ(P2p().StopTask(stopped), 1);
  EXPECT_EQ(Query(stopped).stat(), kStatPaused);
  EXPECT_EQ(P2p().DeleteTask(deleted), 1);
  EXPECT_EQ(Query(deleted).stat(), kStatFailed);
  EXPECT_EQ(P2p().UnInit(), 1);  // returns although a connection still waits for the server
}

// A file name from a page title must never lead out of the task's directory, and the query must report
// the name actually written.
TEST_F(P2pBadInputTest, FileNamesStayInsideTheirDirectory) {
  const std::string data = PatternData(20000, 9);
  server_.ServeData("/t.mp3", data);
  const std::u16string long_ascii = std::u16string(256, u'x') + u".mp3";  // fills the field: no terminator
  const std::u16string long_chinese = std::u16string(256, u'舞') + u".mp3";
  struct Case {
    std::u16string given;
    std::u16string written;
  };
  const std::vector<Case> cases = {
      {u"a/b.mp3", u"a_b.mp3"},
      {u"../../escape.mp3", u".._.._escape.mp3"},
      {u"/tmp/absolute.mp3", u"_tmp_absolute.mp3"},
      {u".", u"_"},
      {u"..", u"__"},
      {u"舞曲 Mix.mp3", u"舞曲 Mix.mp3"},
      // Cut to 249 bytes so that "<name>.aria2" fits the 255-byte limit, keeping the extension and
      // whole characters (3 bytes each in UTF-8).
      {long_ascii, std::u16string(245, u'x') + u".mp3"},
      {long_chinese, std::u16string(81, u'舞') + u".mp3"},
  };
  std::vector<std::unique_ptr<TempDir>> dirs;
  std::vector<std::uint32_t> handles;
  for (const auto& c : cases) {
    dirs.push_back(std::make_unique<TempDir>());
    ParamBlock block(U16(server_.Url("/t.mp3")), c.given, dirs.back()->u16());
    // Whatever follows the name field must not be taken for part of the name.
    block.Fill(layout::param::kSzReserved0.offset, layout::param::kSzReserved0.width, 'A');
    handles.push_back(P2p().CreateTask(block.data()));
    P2p().StartTask(handles.back());
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const fs::path written(cases[i].written);
    const InfoBlock block = QueryUntil(handles[i], Settled);
    EXPECT_EQ(block.stat(), kStatFinished) << written;
    EXPECT_EQ(block.szFilename(), cases[i].written) << written;
    EXPECT_EQ(ListDir(dirs[i]->path()), std::vector<fs::path>{written});
    EXPECT_TRUE(ReadFile(dirs[i]->path() / written) == data) << written;
  }
  EXPECT_FALSE(fs::exists(dirs[1]->path() / ".." / ".." / "escape.mp3"));
  EXPECT_FALSE(fs::exists("/tmp/absolute.mp3"));
}

TEST_F(P2pBadInputTest, MissingDirectoryIsMadeAndUnusableDirectoryFails) {
  const std::string data = PatternData(5000, 10);
  server_.ServeData("/d.mp3", data);
  const fs::path missing = dir_.path() / "new" / "sub";
  const fs::path blocker = dir_.path() / "plain-file";
  std::ofstream(blocker) << "not a directory";
  const std::uint32_t made = Start(U16(server_.Url("/d.mp3")), u"d.mp3", missing.u16string());
  const std::uint32_t unusable = Start(U16(server_.Url("/d.mp3")), u"d.mp3", (blocker / "sub").u16string());
  EXPECT_EQ(QueryUntil(made, Settled).stat(), kStatFinished);
  EXPECT_TRUE(ReadFile(missing / "d.mp3") == data);
  EXPECT_EQ(QueryUntil(unusable, Settled).stat(), kStatFailed);
}

TEST_F(P2pBadInputTest, UnknownHandlesAndNullBlocksGiveZero) {
  ParamBlock block(U16(server_.Url("/never.mp3")), u"never.mp3", dir_.u16());
  const std::uint32_t handle = P2p().CreateTask(block.data());
  ASSERT_NE(handle, 0u);
  for (std::uint32_t unknown : {0u, handle + 1000, 0xFFFFFFFFu}) {
    std::int32_t result = -1;
    const InfoBlock info = Query(unknown, &result);
    EXPECT_EQ(result, 0) << unknown;
    EXPECT_EQ(info.bytes()[0], InfoBlock::kMarker);  // the block is left alone
    EXPECT_EQ(P2p().StartTask(unknown), 0);
    EXPECT_EQ(P2p().StopTask(unknown), 0);
    EXPECT_EQ(P2p().DeleteTask(unknown), 0);
  }
  EXPECT_EQ(P2p().CreateTask(nullptr), 0u);
  EXPECT_EQ(P2p().DelTempFile(nullptr), 0);
  EXPECT_EQ(P2p().QueryTaskInfoEx(handle, nullptr), 0);
  EXPECT_EQ(P2p().SetSpeedLimit(-5), 1);
  EXPECT_EQ(Query(handle).stat(), kStatPaused);  // the real task is untouched
}

TEST_F(P2pBadInputTest, ManyThreadsCallingAtOnce) {
  const std::string data = PatternData(30000, 11);
  server_.ServeData("/m.mp3", data);
  constexpr int kThreads = 4;
  constexpr int kTasksPerThread = 6;
  std::vector<std::vector<std::uint32_t>> kept(kThreads);
  std::vector<std::uint32_t> all_handles[kThreads];
  std::atomic<bool> done{false};
  std::thread limiter([&] {
    for (int i = 0; !done; ++i) P2p().SetSpeedLimit(i % 2 ? 0 : 4000);
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kTasksPerThread; ++i) {
        const std::u16string name = U16("t" + std::to_string(t) + "_" + std::to_string(i) + ".mp3");
        ParamBlock block(U16(server_.Url("/m.mp3")), name, dir_.u16());
        const std::uint32_t handle = P2p().CreateTask(block.data());
        all_handles[t].push_back(handle);
        P2p().StartTask(handle);
        Query(handle);
        if (i % 3 == 0) {
          P2p().StopTask(handle);
          P2p().StartTask(handle);
        }
        if (i % 3 == 1) {
          P2p().DeleteTask(handle);
          ParamBlock image(u"", name, dir_.u16(), false, false);
          P2p().DelTempFile(image.data());
        } else {
          kept[t].push_back(handle);
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  done = true;
  limiter.join();

  std::set<std::uint32_t> distinct;
  for (const auto& handles : all_handles) distinct.insert(handles.begin(), handles.end());
  EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kThreads * kTasksPerThread));
  EXPECT_EQ(distinct.count(0), 0u);
  for (const auto& handles : kept) {
    for (std::uint32_t handle : handles) EXPECT_EQ(QueryUntil(handle, Settled).stat(), kStatFinished) << handle;
  }
}

}  // namespace
}  // namespace morvalin::test
