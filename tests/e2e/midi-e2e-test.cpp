// Playing the piano into the real binary through a FIFO.

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "e2e/orvo-process.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

TEST(MidiSession, KeysOfThePianoAreButtonsAndTheKeyboardIsFollowed) {
  TempFolder home;
  auto input = home / "Stage Piano";
  auto output = home / "to-studio";
  ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(output.c_str(), 0600), 0);
  OrvoProcess orvo({.home = home.path(),
                    .env = {{"ORVO_MIDI_IN", input.string()}, {"ORVO_MIDI_OUT", output.string()}}});
  ASSERT_TRUE(orvo.waitFor("@kbd Stage Piano"));
  ASSERT_TRUE(orvo.waitForPrefix("@welcome"));
  ASSERT_TRUE(orvo.waitFor(
      "Piano connected. I can see a piano. Press its highest key once, so I know its size."));

  int piano = ::open(input.c_str(), O_WRONLY);
  ASSERT_GE(piano, 0);
  auto play = [&](std::string bytes) {
    ASSERT_EQ(::write(piano, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  };
  // A 61-key keyboard: its top key moves every button.
  play("\x90\x60\x40");
  ASSERT_TRUE(orvo.waitFor("@buttons 96 95 93 91 89 88 86 84"));
  ASSERT_TRUE(orvo.waitForPrefix("Got it. Your top key is C, octave 7."));
  // Written by the store's own thread, a moment later.
  for (int i = 0; i < 200 && files::readFile(home / "top-key.txt") != "96\n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(files::readFile(home / "top-key.txt"), "96\n");
  play(std::string("\x80\x60\x00", 3));
  play("\x90\x59\x40");  // the fifth white key from the top: talk mode
  ASSERT_TRUE(orvo.waitFor("@on 89 64"));
  ASSERT_TRUE(orvo.waitFor("@mode talk"));
  ASSERT_TRUE(orvo.waitFor("Talk mode. Try middle C, D, E, F or G."));
  play(std::string("\x80\x59\x00", 3));
  ASSERT_TRUE(orvo.waitFor("@on 89 0"));
  // Running status from the keyboard: both notes are seen.
  play(std::string("\x90\x3c\x50\x3c\x00", 5));
  ASSERT_TRUE(orvo.waitFor("@on 60 80"));
  ASSERT_TRUE(orvo.waitFor("@on 60 0"));
  play("\x90\x54\x40");  // help, the eighth white key from the top
  ASSERT_TRUE(orvo.waitForPrefix("Talk mode. Middle C"));
  // Home is out of the keyboard's reach: the computer's 0.
  ASSERT_TRUE(orvo.answers("0", "@mode idle"));

  ::close(piano);
  ASSERT_TRUE(orvo.waitFor("@kbd "));
  ASSERT_TRUE(orvo.answers("p", "Also playing through the piano."));
  // The studio check tells the window, on its own time (two process checks
  // beside the greeting), that Logic Pro is not running: among the lines read
  // so far, or still to come.
  const auto& read = orvo.lines();
  EXPECT_TRUE(std::find(read.begin(), read.end(), "@daw 0") != read.end() ||
              orvo.waitFor("@daw 0", 10.0));
  EXPECT_EQ(orvo.closeWindow(), 0);
  std::string log = files::readFile(home / "log.txt").value_or("");
  EXPECT_THAT(log, HasSubstr("started, keyboards: Stage Piano, voice: default"));
  EXPECT_THAT(log, HasSubstr("Stage Piano closed"));
}

TEST(MidiSession, AMissingInputLeavesNoKeyboardAndTheEngineRunning) {
  TempFolder home;
  OrvoProcess orvo({.home = home.path(), .env = {{"ORVO_MIDI_IN", (home / "gone").string()}}});
  ASSERT_TRUE(orvo.waitFor("No piano found yet. Plug it in and I will pick it up."));
  ASSERT_TRUE(orvo.answers("t", "@mode talk"));
  EXPECT_EQ(orvo.closeWindow(), 0);
  EXPECT_THAT(files::readFile(home / "log.txt").value_or(""), HasSubstr("does not exist"));
}

}  // namespace
}  // namespace orvo::testing
