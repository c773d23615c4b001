#include "doubles/virtual-runtime.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST(VirtualRuntime, TimersFireInTimeOrderOnlyWhenTheClockReachesThem) {
  VirtualRuntime runtime(1, 100.0);
  std::vector<std::string> fired;
  runtime.after(0.9, [&] { fired.push_back("0.9 at " + std::to_string(runtime.now())); });
  runtime.after(0.35, [&] { fired.push_back("0.35"); });
  TimerId cancelled = runtime.after(0.5, [&] { fired.push_back("cancelled"); });
  runtime.cancel(cancelled);
  runtime.cancel(9999);  // unknown ids are ignored

  runtime.advance(0.3);
  EXPECT_TRUE(fired.empty());
  runtime.advance(1.0);
  EXPECT_THAT(fired, ElementsAre("0.35", "0.9 at " + std::to_string(100.9)));
  EXPECT_DOUBLE_EQ(runtime.now(), 101.3);
  EXPECT_EQ(runtime.pendingTimers(), 0u);
}

TEST(VirtualRuntime, QueuesKeepOrderAndTasksMayPostMore) {
  VirtualRuntime runtime;
  std::vector<int> order;
  auto& serial = runtime.serial("a");
  EXPECT_EQ(&serial, &runtime.serial("a"));
  serial.post([&] {
    order.push_back(1);
    runtime.async([&] { order.push_back(4); });
  });
  runtime.onMain([&] { order.push_back(2); });
  serial.post([&] { order.push_back(3); });
  runtime.runReady();
  EXPECT_THAT(order, ElementsAre(1, 2, 3, 4));

  // A timer set from a timer fires in the same advance when it falls due.
  runtime.after(1.0, [&] { runtime.after(1.0, [&] { order.push_back(5); }); });
  runtime.advance(2.0);
  EXPECT_THAT(order, ElementsAre(1, 2, 3, 4, 5));

  double before = runtime.now();
  runtime.sleep(4.0);
  EXPECT_DOUBLE_EQ(runtime.now(), before + 4.0);
}

}  // namespace
}  // namespace orvo
