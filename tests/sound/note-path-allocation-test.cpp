// The note path (bytes in, decoded, window line, callback, note echoed out)
// must not allocate once warm: an allocation can stall on a lock in the
// allocator, and a late note is a wrong note.

#include <gtest/gtest.h>

// The replacement operator new below is malloc-based, so free is the right match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "core/window.h"
#include "platform/thread-runtime.h"
#include "sound/midi-io.h"

namespace {

thread_local bool counting = false;
std::atomic<int> allocations{0};

}  // namespace

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

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
  Opt opt;
  opt.toPiano = true;
  MidiIO midi(
      backend, runtime, opt, [&](const std::string& line) { window.ui(line); }, true);
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

  counting = true;
  ::operator delete(::operator new(8));  // the counter is live
  counting = false;
  ASSERT_EQ(allocations.exchange(0), 1);

  counting = true;
  play(200);
  counting = false;
  window.flush(5.0);
  EXPECT_EQ(allocations.load(), 0);
}

}  // namespace
}  // namespace orvo
