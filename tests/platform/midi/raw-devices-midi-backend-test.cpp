#include "platform/midi/raw/raw-devices-midi-backend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <thread>

#include "matchers.h"
#include "temp-folder.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Devices are FIFOs here, named as the kernel names raw MIDI devices.
TEST(RawDevicesMidiBackend, DevicesThatAppearLaterAreFollowedAsTheyComeAndGo) {
  testing::TempFolder folder;
  ASSERT_EQ(::mkfifo((folder / "controlC0").c_str(), 0600), 0);  // not a MIDI device
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Bytes> packets;
  int setupChanges = 0;
  RawDevicesMidiBackend backend(folder.path(), [](const std::string&) {}, 0.05);
  ASSERT_TRUE(backend.start(
      [&](const std::uint8_t* bytes, std::size_t size) {
        std::lock_guard guard(mutex);
        packets.emplace_back(bytes, bytes + size);
        changed.notify_all();
      },
      [&] {
        std::lock_guard guard(mutex);
        ++setupChanges;
        changed.notify_all();
      }));
  EXPECT_TRUE(backend.sources().empty());
  auto waitFor = [&](const std::function<bool()>& done) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), done);
  };

  // Plugged in after the start: found, named, and played.
  ASSERT_EQ(::mkfifo((folder / "midiC1D0").c_str(), 0600), 0);
  ASSERT_TRUE(waitFor([&] { return setupChanges >= 1; }));
  ASSERT_EQ(backend.sources().size(), 1u);
  EXPECT_EQ(backend.sources()[0].name, "midiC1D0");  // no sound card 1 to name it
  int writer = ::open((folder / "midiC1D0").c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "\x90\x3c\x40", 3), 3);
  ASSERT_TRUE(waitFor([&] { return !packets.empty(); }));
  EXPECT_EQ(packets[0], (Bytes{0x90, 60, 64}));

  // Gone: no longer a source; back: a source again, the same one.
  ::close(writer);
  ASSERT_TRUE(waitFor([&] { return setupChanges >= 2; }));
  EXPECT_TRUE(backend.sources().empty());
  writer = ::open((folder / "midiC1D0").c_str(), O_WRONLY);
  ASSERT_TRUE(waitFor([&] { return setupChanges >= 3; }));
  EXPECT_EQ(backend.sources().size(), 1u);
  ::close(writer);
}

}  // namespace
}  // namespace orvo
