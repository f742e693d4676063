#include "resolve/ui_bridge.h"

#include <gtest/gtest.h>

#include <QObject>
#include <atomic>
#include <thread>
#include <vector>

#include "resolve/batch_test_support.h"

namespace morvalin {
namespace {

TEST(UiBridgeTest, StepsRunOnTheUiThreadInOrder) {
  test::TestApplication();
  QObject context;
  UiBridge bridge(&context);
  const std::thread::id ui_thread = std::this_thread::get_id();
  std::vector<int> order;
  std::atomic<bool> all_on_ui{true};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i) {
      bridge.Run([&, i] {
        if (std::this_thread::get_id() != ui_thread) all_on_ui = false;
        order.push_back(i);
      });
    }
    done = true;
  });
  ASSERT_TRUE(test::WaitUntil([&] { return done.load(); }));
  worker.join();
  std::vector<int> expected(20);
  for (int i = 0; i < 20; ++i) expected[i] = i;
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(all_on_ui);
}

TEST(UiBridgeTest, DetachReleasesAWorkerWaitingOnTheUiThreadAndStopsItsSteps) {
  test::TestApplication();
  for (int round = 0; round < 20; ++round) {
    auto context = std::make_unique<QObject>();
    auto bridge = std::make_shared<UiBridge>(context.get());
    std::atomic<int> ran{0};
    std::atomic<bool> refused{false};
    std::thread worker([bridge, &ran, &refused] {
      while (bridge->Run([&] { ++ran; })) {
      }
      refused = true;
      // Once refused, every later step is refused too.
      if (bridge->Run([&] { ++ran; })) refused = false;
    });
    ASSERT_TRUE(test::WaitUntil([&] { return ran.load() >= 3; }));
    // The worker is now most likely blocked on a call queued to this thread, which no longer runs
    // events: Detach must free it without running the step and without deadlocking.
    const int ran_before = ran.load();
    bridge->Detach();
    context.reset();
    worker.join();
    EXPECT_TRUE(refused);
    EXPECT_EQ(ran.load(), ran_before);
    EXPECT_FALSE(bridge->Attached());
  }
}

}  // namespace
}  // namespace morvalin
