#include "engine/engine_binding.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/task_records.h"

namespace morvalin {
namespace {

// The stub's own counters, reached through a second handle on the same loaded library.
class StubCounters {
 public:
  StubCounters() : library_(dlopen(STUB_ENGINE_FULL, RTLD_NOW | RTLD_LOCAL)) {
    if (!library_) return;
    calls_ = reinterpret_cast<int (*)()>(dlsym(library_, "StubCalls"));
    uninits_ = reinterpret_cast<int (*)()>(dlsym(library_, "StubUnInits"));
  }
  ~StubCounters() {
    if (library_) dlclose(library_);
  }
  bool ok() const { return calls_ && uninits_; }
  int Calls() const { return calls_(); }
  int UnInits() const { return uninits_(); }

 private:
  void* library_;
  int (*calls_)() = nullptr;
  int (*uninits_)() = nullptr;
};

TEST(DlopenEngineTest, ForwardsEveryFunctionToTheLibrary) {
  StubCounters stub;
  ASSERT_TRUE(stub.ok());
  DlopenEngine engine(STUB_ENGINE_FULL);
  TaskParamBlock params;
  TaskInfoBlock info;
  ASSERT_NE(params.Build("http://m.example/a.mp3"), nullptr);
  ASSERT_NE(info.Build(), nullptr);
  char image[26564] = {};
  image[18360] = 5;

  EXPECT_EQ(engine.XL_SetSpeedLimit(400), 900);
  EXPECT_EQ(engine.XL_CreateTask(params.BlockAddress()), 77u);
  EXPECT_EQ(engine.XL_StartTask(1), 101);
  EXPECT_EQ(engine.XL_StopTask(2), 202);
  EXPECT_EQ(engine.XL_DeleteTask(3), 303);
  EXPECT_EQ(engine.XL_DelTempFile(image), 5);
  EXPECT_EQ(engine.XL_QueryTaskInfoEx(4, info.BlockAddress()), 404);
  EXPECT_EQ(info.stat(), 4);
  EXPECT_EQ(engine.XL_Init(), 11);
  EXPECT_EQ(engine.XL_UnInit(), 12);
  EXPECT_EQ(stub.Calls(), 9);
}

TEST(DlopenEngineTest, NullRecordsNeverReachTheLibrary) {
  StubCounters stub;
  ASSERT_TRUE(stub.ok());
  DlopenEngine engine(STUB_ENGINE_FULL);
  const int before = stub.Calls();
  EXPECT_EQ(engine.XL_CreateTask(nullptr), 0u);
  EXPECT_EQ(engine.XL_DelTempFile(nullptr), 0);
  EXPECT_EQ(engine.XL_QueryTaskInfoEx(1, nullptr), 0);
  EXPECT_EQ(stub.Calls(), before);
}

TEST(DlopenEngineTest, ConcurrentFirstCallsAllReachTheLibrary) {
  StubCounters stub;
  ASSERT_TRUE(stub.ok());
  const int before = stub.Calls();
  DlopenEngine engine(STUB_ENGINE_FULL);
  std::vector<int> results(8, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back(
        [&engine, &results, i] { results[i] = engine.XL_StartTask(static_cast<TaskHandle>(i)); });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(results[i], i + 100);
  EXPECT_GE(stub.Calls(), before + 8);
}

// An engine left running is stopped before its library is unloaded; one already stopped is not
// stopped again, and one never called is never loaded.
TEST(DlopenEngineTest, UnloadingStopsAnEngineLeftRunning) {
  StubCounters stub;
  ASSERT_TRUE(stub.ok());
  int uninits = stub.UnInits();
  { DlopenEngine unused(STUB_ENGINE_FULL); }
  EXPECT_EQ(stub.UnInits(), uninits);
  {
    DlopenEngine engine(STUB_ENGINE_FULL);
    engine.XL_StartTask(1);
  }
  EXPECT_EQ(stub.UnInits(), ++uninits);
  {
    DlopenEngine engine(STUB_ENGINE_FULL);
    engine.XL_Init();
    engine.XL_UnInit();
  }
  EXPECT_EQ(stub.UnInits(), ++uninits);
}

class DlopenEngineDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(DlopenEngineDeathTest, AMissingLibraryIsNamedAndEndsTheProgram) {
  DlopenEngine engine("/nonexistent/dir/p2p.so");
  EXPECT_EXIT(engine.XL_Init(), testing::ExitedWithCode(1), "/nonexistent/dir/p2p\\.so");
  TaskInfoBlock info;
  info.Build();
  EXPECT_EXIT(engine.XL_QueryTaskInfoEx(1, info.BlockAddress()), testing::ExitedWithCode(1), "p2p\\.so");
}

TEST_F(DlopenEngineDeathTest, AMissingFunctionIsNamedAndEndsTheProgram) {
  // The partial library has the four functions this call needs none of; the first one missing is named.
  DlopenEngine engine(STUB_ENGINE_PARTIAL);
  EXPECT_EXIT(engine.XL_StartTask(1), testing::ExitedWithCode(1), "lacks the function XL_StopTask");
}

TEST_F(DlopenEngineDeathTest, TheReporterSetByTheProgramGetsTheMessage) {
  DlopenEngine engine(STUB_ENGINE_PARTIAL);
  engine.SetReporter([](const std::string& message) { std::fprintf(stderr, "[box] %s\n", message.c_str()); });
  EXPECT_EXIT(engine.XL_Init(), testing::ExitedWithCode(1), "\\[box\\] .*XL_StopTask");
}

}  // namespace
}  // namespace morvalin
