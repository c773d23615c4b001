#include "platform/thread-runtime.h"
#include "matchers.h"

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

namespace orvo {
namespace {

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

TEST(ThreadRuntime, AnAlarmFiresOnTheTimerThreadAtEachTimeInOrder) {
  ThreadRuntime runtime(1);
  std::mutex mutex;
  std::vector<double> fired;
  std::vector<std::thread::id> threads;
  auto alarm = runtime.makeAlarm(
      [&] {
        std::lock_guard guard(mutex);
        fired.push_back(runtime.now());
        threads.push_back(std::this_thread::get_id());
      },
      3);
  const double start = runtime.now();
  // Given out of order, fired in order; a fourth time is refused when full.
  EXPECT_TRUE(alarm->at(start + 0.15));
  EXPECT_TRUE(alarm->at(start + 0.05));
  EXPECT_TRUE(alarm->at(start + 0.10));
  EXPECT_FALSE(alarm->at(start + 0.20));
  // A blocked global queue does not hold it up.
  std::promise<void> release;
  auto released = release.get_future().share();
  for (int i = 0; i < 4; ++i) runtime.async([released] { released.wait(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  release.set_value();
  std::lock_guard guard(mutex);
  ASSERT_EQ(fired.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_GE(fired[i], start + 0.05 * static_cast<double>(i + 1)) << "never early";
    EXPECT_LT(fired[i], start + 0.05 * static_cast<double>(i + 1) + 0.05) << "nor late";
  }
  EXPECT_EQ(threads[0], threads[2]);
  EXPECT_NE(threads[0], std::this_thread::get_id());
}

TEST(ThreadRuntime, AnAlarmLetGoNeverFires) {
  ThreadRuntime runtime(1);
  std::atomic<int> fired{0};
  auto alarm = runtime.makeAlarm([&] { ++fired; }, 4);
  alarm->at(runtime.now() + 0.05);
  // Let go while the timer thread is already waiting for it.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  alarm.reset();
  auto kept = runtime.makeAlarm([&] { fired += 10; }, 4);
  kept->at(runtime.now() + 0.06);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(fired.load(), 10);
}

// The live band's clock must not wait behind another alarm's work.
TEST(ThreadRuntime, AnOwnThreadAlarmFiresWhileTheTimerThreadIsBusyAndNotAfterItIsLetGo) {
  ThreadRuntime runtime(1);
  std::mutex mutex;
  std::vector<double> fired;
  std::thread::id ownThread, timerThread;
  std::string why;
  auto own = runtime.makeOwnThreadAlarm(
      [&] {
        std::lock_guard guard(mutex);
        fired.push_back(runtime.now());
        ownThread = std::this_thread::get_id();
      },
      4, &why);
  auto busy = runtime.makeAlarm(
      [&] {
        {
          std::lock_guard guard(mutex);
          timerThread = std::this_thread::get_id();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
      },
      1);
  const double start = runtime.now();
  busy->at(start + 0.01);
  EXPECT_TRUE(own->at(start + 0.12));
  EXPECT_TRUE(own->at(start + 0.06));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  {
    std::lock_guard guard(mutex);
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_GE(fired[0], start + 0.06);
    EXPECT_GE(fired[1], start + 0.12);
    EXPECT_LT(fired[1], start + 0.2) << "it did not wait for the busy timer thread";
    EXPECT_NE(ownThread, timerThread);
  }
  own->at(runtime.now() + 0.05);
  own.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::lock_guard guard(mutex);
  EXPECT_EQ(fired.size(), 2u);
}

}  // namespace
}  // namespace orvo
