#include "platform/midi/raw/raw-midi-backend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <thread>

#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Received {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Bytes> packets;
  int setupChanges = 0;
  std::vector<std::string> logged;

  bool waitFor(const std::function<bool()>& done) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), done);
  }
};

TEST(RawMidiBackend, AFifoIsOneKeyboardUntilItsWriterCloses) {
  testing::TempFolder folder;
  auto input = folder / "Stage Piano";
  auto output = folder / "out";
  ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(output.c_str(), 0600), 0);
  Received got;
  RawMidiBackend backend(input, output, [&](const std::string& line) {
    std::lock_guard guard(got.mutex);
    got.logged.push_back(line);
  });
  ASSERT_TRUE(backend.start(
      [&](const std::uint8_t* bytes, std::size_t size) {
        std::lock_guard guard(got.mutex);
        got.packets.emplace_back(bytes, bytes + size);
        got.changed.notify_all();
      },
      [&] {
        std::lock_guard guard(got.mutex);
        ++got.setupChanges;
        got.changed.notify_all();
      }));
  ASSERT_EQ(backend.sources().size(), 1u);
  EXPECT_EQ(backend.sources()[0].name, "Stage Piano");

  // Messages split across writes still arrive whole, running status expanded.
  int writer = ::open(input.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "\x90\x3c", 2), 2);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(::write(writer, "\x64\x3e\x50", 3), 3);
  ASSERT_TRUE(got.waitFor([&] { return got.packets.size() >= 2; }));
  EXPECT_THAT(got.packets, ElementsAre(Bytes{0x90, 60, 100}, Bytes{0x90, 62, 80}));

  // Published messages reach the output byte for byte, even before anyone reads it.
  backend.publish(Bytes{0x90, 60, 100}.data(), 3);
  backend.publish(Bytes{0x80, 60, 0}.data(), 3);
  int reader = ::open(output.c_str(), O_RDONLY | O_NONBLOCK);
  std::uint8_t out[16];
  EXPECT_EQ(::read(reader, out, sizeof out), 6);
  EXPECT_EQ(Bytes(out, out + 6), (Bytes{0x90, 60, 100, 0x80, 60, 0}));
  ::close(reader);

  // The keyboard going away is logged once and the sources are told.
  ::close(writer);
  ASSERT_TRUE(got.waitFor([&] { return got.setupChanges == 1; }));
  EXPECT_TRUE(backend.sources().empty());

  // ... and comes back with its next writer: the same keyboard, playing again.
  writer = ::open(input.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ASSERT_TRUE(got.waitFor([&] { return got.setupChanges == 2; }));
  EXPECT_EQ(backend.sources().size(), 1u);
  ASSERT_EQ(::write(writer, "\x90\x40\x30", 3), 3);
  ASSERT_TRUE(got.waitFor([&] { return got.packets.size() >= 3; }));
  ::close(writer);
  ASSERT_TRUE(got.waitFor([&] { return got.setupChanges == 3; }));
  std::lock_guard guard(got.mutex);
  EXPECT_EQ(got.packets.back(), (Bytes{0x90, 0x40, 0x30}));
  EXPECT_THAT(got.logged, ElementsAre(HasSubstr("closed; it is opened again"), HasSubstr("is back"),
                                      HasSubstr("closed")));
}

TEST(RawMidiBackend, AMissingInputIsLoggedOnceAndNothingElseHappens) {
  testing::TempFolder folder;
  std::vector<std::string> logged;
  RawMidiBackend backend(folder / "nothing-here", "",
                         [&](const std::string& line) { logged.push_back(line); });
  EXPECT_TRUE(backend.start([](const std::uint8_t*, std::size_t) {}, [] {}));
  EXPECT_TRUE(backend.sources().empty());
  EXPECT_THAT(logged, ElementsAre(HasSubstr("does not exist")));
  backend.publish(Bytes{0x90, 60, 1}.data(), 3);  // no output: nothing, no crash
}

TEST(RawMidiBackend, ARecordedFileIsPlayedOnceAndAnOutputFileIsAppended) {
  testing::TempFolder folder;
  files::writeFileAtomically(folder / "take.mid.raw", std::string("\x90\x40\x40\x80\x40\x00", 6));
  Received got;
  RawMidiBackend backend(folder / "take.mid.raw", folder / "sent.raw", [](const std::string&) {});
  backend.start(
      [&](const std::uint8_t* bytes, std::size_t size) {
        std::lock_guard guard(got.mutex);
        got.packets.emplace_back(bytes, bytes + size);
      },
      [&] {
        std::lock_guard guard(got.mutex);
        ++got.setupChanges;
        got.changed.notify_all();
      });
  ASSERT_TRUE(got.waitFor([&] { return got.setupChanges == 1; }));
  EXPECT_EQ(got.packets.size(), 2u);
  backend.publish(Bytes{0x90, 1, 2}.data(), 3);
  EXPECT_EQ(files::readFile(folder / "sent.raw"), std::string("\x90\x01\x02", 3));
}

TEST(RawMidiBackend, StopsWhileStillWaitingForAWriter) {
  testing::TempFolder folder;
  auto input = folder / "waiting";
  ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
  auto backend = std::make_unique<RawMidiBackend>(input, "", [](const std::string&) {});
  backend->start([](const std::uint8_t*, std::size_t) {}, [] {});
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  backend.reset();  // must not hang
  SUCCEED();
}

}  // namespace
}  // namespace orvo
