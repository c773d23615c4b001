// The note path (bytes in, decoded, window line, callback, note echoed out)
// must not allocate once warm: an allocation can stall on a lock in the
// allocator, and a late note is a wrong note.

// The replacement operator new below is malloc-based, so free is the right match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "app/window.h"
#include "engine-world.h"
#include "engine/engine.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/thread-runtime.h"
#include "rooms/compose/compose-room.h"
#include "rooms/lesson/lesson-room.h"
#include "sound/midi-io.h"
#include "temp-folder.h"

#include "counting-allocator.h"
#include "matchers.h"

using orvo::testing::allocationCount;
using orvo::testing::countAllocations;

namespace orvo {
namespace {

struct NullBackend final : MidiBackend {
  bool start(PacketHandler, std::function<void()>) override { return true; }
  std::optional<std::int64_t> ownSourceId() override { return 1; }
  std::vector<MidiSource> sources() override { return {}; }
  void disconnectAll() override {}
  void connect(const MidiSource&) override {}
  void refreshDestinations() override {}
  void publish(const std::uint8_t*, std::size_t) override {}
  void sendToDestinations(const std::uint8_t*, std::size_t) override {}
};

TEST(NotePath, DoesNotAllocateOnceWarm) {
  ThreadRuntime runtime(1);
  // The writer is held during the warm-up, so the window's ring grows to hold
  // more lines than the measured part sends, however slow the writer is then.
  std::atomic<bool> holdWriter{true};
  Window window(runtime.serial("lorimel.ui"), true, [&](std::string_view) {
    while (holdWriter) std::this_thread::yield();
  });
  NullBackend backend;
  MidiIO midi(
      backend, runtime, [&](const std::string& line) { window.ui(line); }, true);
  midi.alsoToPiano = true;
  midi.setCallbacks(
      {[&](int pitch, int velocity) {
         midi.send({0x90, static_cast<std::uint8_t>(pitch), static_cast<std::uint8_t>(velocity)});
       },
       [](bool) {}});
  auto play = [&](int notes) {
    for (int i = 0; i < notes; ++i) {
      std::uint8_t on[] = {0x90, static_cast<std::uint8_t>(i % 128), 100};
      std::uint8_t off[] = {0x80, static_cast<std::uint8_t>(i % 128), 0};
      midi.parse(on, 3);
      midi.parse(off, 3);
    }
  };
  play(2000);  // let the rings grow to their working size
  holdWriter = false;
  window.flush(5.0);

  countAllocations = true;
  ::operator delete(::operator new(8));  // the counter is live
  countAllocations = false;
  ASSERT_EQ(allocationCount.exchange(0), 1);

  countAllocations = true;
  play(200);
  countAllocations = false;
  window.flush(5.0);
  EXPECT_EQ(allocationCount.load(), 0);
}

// An engine on real threads, in a fresh data folder whose top key is known,
// sending the MIDI link's window lines as the program does.
struct ThreadedWorld {
  ThreadRuntime runtime{5};
  NullBackend backend;
  testing::EngineWorld world{{}, nullptr, &runtime, &backend, true};
  Engine& engine = world.engine;
  Store& store = world.store;
  std::filesystem::path home = world.home;
};

// Whole units of a real lesson, on real threads: every note the MIDI thread
// (here the test's thread) hands to Engine::noteEvent, right, wrong and the
// one that finishes the unit, is judged without allocating or writing a file;
// the verdicts, the next unit and the saved progress follow on other threads.
TEST(NotePath, ALessonNeitherAllocatesNorWritesFilesOnTheMidiThread) {
  ThreadedWorld world;
  Engine& engine = world.engine;
  LessonRoom& lessons = engine.lessons();
  auto listening = [&] {
    for (int i = 0; i < 1000; ++i) {
      {
        std::lock_guard guard(engine.lock);
        if (lessons.listening()) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  // The notes of the unit being taught, worked out before anything is counted.
  auto unitSteps = [&] {
    std::vector<std::vector<int>> steps;
    auto lesson = lessons.currentLesson();
    auto keys = engine.buttonKeys();
    for (auto& step :
         lesson->stepsIn(lesson->units[static_cast<std::size_t>(lessons.currentUnit())])) {
      std::vector<int> pitches;
      for (int p : step.pitches)
        if (!keys.isCommandKey(p)) pitches.push_back(p);
      if (!pitches.empty()) steps.push_back(pitches);
    }
    return steps;
  };
  int calls = 0, allocating = 0, writing = 0;
  auto note = [&](int pitch, int velocity, bool measured) {
    int writesBefore = files::writesOnThisThread();
    allocationCount = 0;
    countAllocations = measured;
    engine.noteEvent(pitch, velocity);
    countAllocations = false;
    if (!measured) return;
    ++calls;
    allocating += allocationCount.load() > 0 ? 1 : 0;
    writing += files::writesOnThisThread() != writesBefore ? 1 : 0;
  };

  lessons.chooseSong(0);
  for (int unit = 0; unit < 3; ++unit) {
    ASSERT_TRUE(listening()) << "unit " << unit << " never began listening";
    const bool measured = unit > 0;  // the first unit lets the rings grow
    auto steps = unitSteps();
    ASSERT_FALSE(steps.empty());
    int wrong = steps[0][0] == 40 ? 41 : 40;
    note(wrong, 90, measured);
    note(wrong, 0, measured);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    for (const auto& step : steps) {
      for (int pitch : step) note(pitch, 90, measured);
      for (int pitch : step) note(pitch, 0, measured);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ASSERT_TRUE(listening());
  EXPECT_GT(calls, 10);
  EXPECT_EQ(allocating, 0) << "of " << calls << " calls";
  EXPECT_EQ(writing, 0);
  // The units did finish: their progress reached the folder from the store's thread.
  ASSERT_TRUE(world.store.flush(5.0));
  EXPECT_TRUE(files::readFile(world.home / "progress.json"));
}

// Composition mode, with the history nearly full: a note-on and its note-off
// go into the history and the take without allocating or writing a file.
TEST(NotePath, CompositionRecordsIntoAFullHistoryWithoutAllocating) {
  ThreadedWorld world;
  Engine& engine = world.engine;
  engine.command(engine.buttonKeys().compose);
  for (int i = 0; i < 49000; ++i) {
    engine.noteEvent(40 + i % 40, 80);
    engine.noteEvent(40 + i % 40, 0);
  }
  int allocating = 0, writing = 0;
  engine.pedal(true);
  for (int i = 0; i < 1000; ++i) {
    int writesBefore = files::writesOnThisThread();
    allocationCount = 0;
    countAllocations = true;
    engine.noteEvent(48 + i % 24, 90);
    engine.noteEvent(48 + i % 24, 0);
    if (i % 100 == 99) engine.pedal(i % 200 != 199);
    countAllocations = false;
    allocating += allocationCount.load() > 0 ? 1 : 0;
    writing += files::writesOnThisThread() != writesBefore ? 1 : 0;
  }
  EXPECT_EQ(allocating, 0);
  EXPECT_EQ(writing, 0);
  std::lock_guard guard(engine.lock);
  EXPECT_EQ(engine.compose().history().entries().size(), 50000u);
}

// The echo round on real threads: each note played into it queues its echo
// without allocating, and the echoes leave later from the runtime's alarm.
TEST(NotePath, TheRoundQueuesEchoesWithoutAllocating) {
  ThreadedWorld world;
  Engine& engine = world.engine;
  const ButtonKeys& keys = engine.buttonKeys();
  engine.command(keys.compose);
  for (int i = 0; i < 16; ++i) {
    engine.noteEvent(60 + i % 8, 80);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    engine.noteEvent(60 + i % 8, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (int i = 0; i < 4; ++i) engine.command(keys.next);
  bool on = false;
  for (int wait = 0; wait < 500 && !on; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::lock_guard guard(engine.lock);
    on = engine.compose().roundOn();
  }
  ASSERT_TRUE(on) << "the round did not start";
  int allocating = 0;
  for (int i = 0; i < 200; ++i) {
    allocationCount = 0;
    countAllocations = true;
    engine.noteEvent(48 + i % 24, 90);
    engine.noteEvent(48 + i % 24, 0);
    countAllocations = false;
    allocating += allocationCount.load() > 0 ? 1 : 0;
  }
  EXPECT_EQ(allocating, 0);
  {
    std::lock_guard guard(engine.lock);
    engine.compose().stopRound();
  }
  // The world goes only once the round's activities have let go of the engine.
  engine.interrupt();
  for (int wait = 0; wait < 500 && engine.activitiesRunning() > 0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace
}  // namespace orvo
