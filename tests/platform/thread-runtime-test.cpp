#include "platform/thread-runtime.h"

#include <gmock/gmock.h>

#include <atomic>
#include <future>
#include <thread>

namespace orvo {
namespace {

using ::testing::ElementsAre;

TEST(ThreadRuntime, ATimerStillFiresWhileActivitiesAreBlocked) {
  ThreadRuntime runtime(1);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> blocked{0};
  for (int i = 0; i < 3; ++i) {
    runtime.async([&, released] {
      ++blocked;
      released.wait();  // as an activity waits on a long sentence
    });
  }
  std::promise<double> fired;
  double start = runtime.now();
  runtime.after(0.05, [&] { fired.set_value(runtime.now()); });
  auto firedAt = fired.get_future();
  ASSERT_EQ(firedAt.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_GE(firedAt.get() - start, 0.05);
  EXPECT_EQ(blocked, 3);

  // A fourth activity also runs at once.
  std::promise<void> ran;
  runtime.async([&] { ran.set_value(); });
  EXPECT_EQ(ran.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  release.set_value();
}

TEST(ThreadRuntime, SerialQueuesKeepOrderAndCancelledTimersNeverFire) {
  ThreadRuntime runtime(1);
  std::vector<int> order;
  std::promise<void> done;
  auto& queue = runtime.serial("lorimel.ui");
  for (int i = 0; i < 100; ++i) queue.post([&, i] { order.push_back(i); });
  queue.post([&] { done.set_value(); });

  std::atomic<bool> cancelledFired{false};
  TimerId id = runtime.after(0.05, [&] { cancelledFired = true; });
  runtime.cancel(id);

  ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  std::vector<int> expected(100);
  for (int i = 0; i < 100; ++i) expected[static_cast<std::size_t>(i)] = i;
  EXPECT_EQ(order, expected);
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_FALSE(cancelledFired);
}

TEST(ThreadRuntime, TheMainLoopRunsPostedWorkOnItsThread) {
  ThreadRuntime runtime(1);
  std::thread::id ranOn;
  runtime.async([&] {
    runtime.onMain([&] {
      ranOn = std::this_thread::get_id();
      runtime.stopMainLoop();
    });
  });
  runtime.runMainLoop();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

}  // namespace
}  // namespace orvo
