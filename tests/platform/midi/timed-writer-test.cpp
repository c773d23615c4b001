#include "platform/midi/raw/timed-writer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "matchers.h"
#include "platform/midi/midi-backend.h"

namespace orvo {
namespace {

constexpr std::int64_t kMs = 1'000'000;

struct Written {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<int> notes;
  std::vector<std::int64_t> times;

  TimedWriter::Write sink() {
    return [this](const std::uint8_t* bytes, std::size_t size) {
      std::lock_guard guard(mutex);
      notes.push_back(size > 1 ? bytes[1] : -1);
      times.push_back(midiClockNow());
      changed.notify_all();
    };
  }
  bool waitForCount(std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), [&] { return notes.size() >= count; });
  }
};

std::uint8_t on(int note) {
  return static_cast<std::uint8_t>(note);
}

TEST(TimedWriter, WritesInDueOrderAndNeverEarly) {
  Written got;
  TimedWriter writer(got.sink());
  const std::int64_t start = midiClockNow();
  const std::int64_t dues[] = {start + 40 * kMs, start + 10 * kMs, start + 25 * kMs,
                               start - 5 * kMs};
  const int notes[] = {64, 60, 62, 50};
  for (int i = 0; i < 4; ++i) {
    const std::uint8_t bytes[3] = {0x91, on(notes[i]), 90};
    ASSERT_TRUE(writer.at(bytes, 3, dues[i]));
  }
  ASSERT_TRUE(got.waitForCount(4));
  std::lock_guard guard(got.mutex);
  // One already due goes out at once; the rest at their own times, in order.
  EXPECT_THAT(got.notes, ElementsAre(50, 60, 62, 64));
  EXPECT_GE(got.times[1], start + 10 * kMs);
  EXPECT_GE(got.times[2], start + 25 * kMs);
  EXPECT_GE(got.times[3], start + 40 * kMs);
}

TEST(TimedWriter, DroppedMessagesNeverGoOutAndAFullRingRefuses) {
  Written got;
  TimedWriter writer(got.sink());
  const std::int64_t start = midiClockNow();
  const std::uint8_t bytes[3] = {0x92, 40, 80};
  for (std::size_t i = 0; i < TimedWriter::kCapacity; ++i)
    ASSERT_TRUE(writer.at(bytes, 3, start + 30 * kMs));
  EXPECT_FALSE(writer.at(bytes, 3, start + 30 * kMs));  // the sender writes it itself
  const std::uint8_t tooLong[4] = {0x92, 40, 80, 0};
  EXPECT_FALSE(writer.at(tooLong, 4, start));

  writer.drop();
  const std::uint8_t later[3] = {0x82, 41, 0};
  ASSERT_TRUE(writer.at(later, 3, start + 60 * kMs));
  ASSERT_TRUE(got.waitForCount(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::lock_guard guard(got.mutex);
  EXPECT_THAT(got.notes, ElementsAre(41));
}

// A drop while the writer sleeps its last stretch towards a message: that
// message must not go out after drop() has returned.
TEST(TimedWriter, DropWinsAgainstAMessageAboutToBeWritten) {
  Written got;
  TimedWriter writer(got.sink());
  const std::uint8_t bytes[3] = {0x93, 45, 70};
  for (int round = 0; round < 50; ++round) {
    ASSERT_TRUE(writer.at(bytes, 3, midiClockNow() + 500'000));  // inside the last stretch
    std::this_thread::sleep_for(std::chrono::microseconds(100 + round * 10));
    writer.drop();
    std::size_t before;
    {
      std::lock_guard guard(got.mutex);
      before = got.notes.size();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::lock_guard guard(got.mutex);
    EXPECT_EQ(got.notes.size(), before) << "round " << round;
  }
}

}  // namespace
}  // namespace orvo
