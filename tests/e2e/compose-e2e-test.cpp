// Composition through the real binary: notes written to a FIFO in real time,
// the computer's keys, and what is said back.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <regex>
#include <thread>

#include "e2e/orvo-process.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

using ::testing::AnyOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// A keyboard on a FIFO, played in real time.
class Keyboard {
 public:
  explicit Keyboard(const std::filesystem::path& fifo) : fd_(::open(fifo.c_str(), O_WRONLY)) {}
  ~Keyboard() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool open() const { return fd_ >= 0; }
  void send(std::initializer_list<int> bytes) {
    std::string data;
    for (int byte : bytes) data.push_back(static_cast<char>(byte));
    EXPECT_EQ(::write(fd_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
  }
  // Notes of the C major chord, up and down, each held for most of `step`.
  void phrase(int count, double step = 0.25) {
    static const int notes[] = {60, 64, 67, 72, 67, 64};
    for (int i = 0; i < count; ++i) {
      int pitch = notes[i % 6];
      send({0x90, pitch, 80});
      wait(step * 0.8);
      send({0x80, pitch, 0});
      wait(step * 0.2);
    }
  }
  void pedal(bool down) { send({0xB0, 64, down ? 127 : 0}); }
  static void wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }

 private:
  int fd_;
};

int secondsIn(const std::string& summary) {
  std::smatch match;
  if (!std::regex_search(summary, match, std::regex(R"((\d+) seconds, )"))) return -1;
  return std::stoi(match[1]);
}

struct Piano {
  TempFolder home;
  std::filesystem::path input = home / "Piano In";
  std::filesystem::path output = home / "Piano Out";
  bool made = ::mkfifo(input.c_str(), 0600) == 0 && ::mkfifo(output.c_str(), 0600) == 0 &&
              files::writeFileAtomically(home / "top-key.txt", "108\n");
  OrvoProcess::Options options() {
    return {.home = home.path(),
            .env = {{"ORVO_MIDI_IN", input.string()}, {"ORVO_MIDI_OUT", output.string()}}};
  }
};

TEST(ComposeSession, TakesAreDescribedContinuedRestartedAndLengthenedByThePedal) {
  Piano piano;
  ASSERT_TRUE(piano.made);
  OrvoProcess orvo(piano.options());
  ASSERT_TRUE(orvo.waitFor("@kbd Piano In"));
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  Keyboard keys(piano.input);
  ASSERT_TRUE(keys.open());

  orvo.write("c");
  ASSERT_TRUE(orvo.waitFor("@mode compose"));
  ASSERT_TRUE(orvo.waitFor("@now A new piece"));
  ASSERT_TRUE(orvo.waitForPrefix("Composition"));
  keys.phrase(12);
  orvo.write("n");
  auto summary = orvo.waitForPrefix("Key of ");
  ASSERT_TRUE(summary);
  EXPECT_THAT(*summary, AllOf(StartsWith("Key of C major."), EndsWith("12 notes.")));

  // Played on within 25 s, the take goes on.
  Keyboard::wait(1.0);
  keys.phrase(6);
  orvo.write("n");
  auto longer = orvo.waitForPrefix("Key of ");
  ASSERT_TRUE(longer);
  EXPECT_THAT(*longer, EndsWith("18 notes."));

  // DEL starts again.
  orvo.write("\x7f");
  auto again = orvo.waitForLine([](const std::string& line) {
    return line == "Again." || line == "From the top." || line == "Clean slate.";
  });
  EXPECT_TRUE(again);
  orvo.write("n");
  EXPECT_TRUE(orvo.waitFor("Play something first."));

  // The same notes, then with the pedal held over them for 3 s more.
  keys.phrase(8);
  orvo.write("n");
  auto dry = orvo.waitForPrefix("Key of ");
  ASSERT_TRUE(dry);
  orvo.write("\x7f");
  ASSERT_TRUE(orvo.waitForLine([](const std::string& line) {
    return line == "Again." || line == "From the top." || line == "Clean slate.";
  }));
  keys.pedal(true);
  keys.phrase(8);
  Keyboard::wait(3.0);
  keys.pedal(false);
  orvo.write("n");
  auto pedalled = orvo.waitForPrefix("Key of ");
  ASSERT_TRUE(pedalled);
  EXPECT_GE(secondsIn(*pedalled), secondsIn(*dry) + 2) << *dry << " / " << *pedalled;

  // The compose key twice quickly leaves.
  orvo.write("cc");
  EXPECT_TRUE(orvo.waitFor("@mode idle"));
  EXPECT_TRUE(orvo.waitFor("Composition mode off."));
  orvo.closeInput();
  EXPECT_EQ(orvo.waitExit(), 0);
}

TEST(ComposeSession, AtHomeAskingWhatWasPlayedNeedsEnoughNotes) {
  Piano piano;
  ASSERT_TRUE(piano.made);
  OrvoProcess orvo(piano.options());
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  Keyboard keys(piano.input);
  ASSERT_TRUE(keys.open());
  keys.phrase(3);
  orvo.write("~speak what did i just play\n");
  EXPECT_TRUE(orvo.waitFor("Play something first, then ask me."));
  keys.phrase(5);
  orvo.write("~speak what did i just play\n");
  auto summary = orvo.waitForPrefix("Key of ");
  ASSERT_TRUE(summary);
  EXPECT_THAT(*summary, HasSubstr("8 notes."));
  orvo.closeInput();
  EXPECT_EQ(orvo.waitExit(), 0);
}

}  // namespace
}  // namespace orvo::testing
