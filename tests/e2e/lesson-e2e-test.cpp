// A lesson through the real binary: the piano on one FIFO, the notes it plays
// on another.

#include <thread>
#include "e2e/fifo-piano.h"
#include "lessons/lesson.h"
#include "lessons/tune.h"
#include "matchers.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo::testing {
namespace {

// A note played on the keyboard: held briefly, then let go.
void play(Keyboard& keys, int pitch) {
  keys.send({0x90, pitch, 90});
  Keyboard::wait(0.06);
  keys.send({0x80, pitch, 0});
  Keyboard::wait(0.06);
}

TEST(LessonSession, APartPlayedRightThenWrongAndTheProgressKept) {
  Lesson lesson(builtInSongs()[0]);  // Hot Cross Buns, as the engine cuts it
  auto firstUnit = lesson.stepsIn(lesson.units[0]);
  PianoSession session;
  ASSERT_TRUE(session.ready());
  auto& [piano, out, orvo, welcomed, keys] = session;
  ASSERT_TRUE(orvo.answers("1", "@Hot Cross Buns: part 1 of 3, right hand"));
  ASSERT_TRUE(orvo.waitForPrefix("Hot Cross Buns. 3 short parts."));
  ASSERT_TRUE(orvo.waitForLine(isTurn, 30));
  // The demonstration came out on the MIDI output: E4 first.
  const auto sent = out.since(0);
  const auto first = std::find_if(sent.begin(), sent.end(),
                                  [](const MidiOut::Message& m) { return m.status == 0x90; });
  ASSERT_NE(first, sent.end());
  EXPECT_EQ(first->key, 64);
  for (const auto& step : firstUnit) play(keys, step.pitches.front());
  ASSERT_TRUE(orvo.waitFor("@flash good"));
  ASSERT_TRUE(orvo.waitForLine([](const std::string& line) {
    return line.find("Part 1, left hand.") != std::string::npos;
  }));
  ASSERT_TRUE(orvo.waitForLine(isTurn, 30));
  play(keys, 90);  // wrong
  ASSERT_TRUE(orvo.waitFor("@flash wrong"));
  EXPECT_EQ(orvo.closeWindow(), 0);
  EXPECT_THAT(files::readFile(piano.home / "progress.json").value_or(""),
              HasSubstr("\"Hot Cross Buns\": 1"));

  OrvoProcess again(
      {.home = piano.home.path(), .env = {{"ORVO_MIDI_IN", (piano.home / "none").string()}}});
  ASSERT_TRUE(again.waitForPrefix("@welcome"));
  again.write("1");
  ASSERT_TRUE(again.waitForLine([](const std::string& line) {
    for (const char* resume : {"Carrying on at", "Back to", "Picking up at"}) {
      if (line.rfind(std::string("Hot Cross Buns. ") + resume + " part 1 of 3. Part 1, left hand.",
                     0) == 0) {
        return true;
      }
    }
    return false;
  }));
  EXPECT_EQ(again.closeWindow(), 0);
}

// "--drop" run beside a running copy: the running copy keeps the drop when it
// next saves, and the song is gone from its list then and after a restart.
TEST(LessonSession, ASongDroppedBesideARunningCopyStaysDropped) {
  TempFolder home;
  files::writeFileAtomically(home / "top-key.txt", "108\n");
  auto listed = [](OrvoProcess& orvo) {
    orvo.write("l");
    return orvo.waitForPart("Easy: ");
  };
  {
    OrvoProcess running({.home = home.path()});
    ASSERT_TRUE(running.waitForPrefix("@welcome"));
    OrvoProcess oneOff({.home = home.path(), .args = {"--drop", "Jingle Bells"}, .window = false});
    EXPECT_EQ(oneOff.waitExit(), 0);
    EXPECT_TRUE(oneOff.waitForPrefix("dropped: Jingle Bells", 1));
    // Choosing a song saves the memory.
    ASSERT_TRUE(running.answersWithPrefix("1", "Hot Cross Buns."));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto list = listed(running);
    ASSERT_TRUE(list);
    EXPECT_THAT(*list, Not(HasSubstr("Jingle Bells")));
    EXPECT_THAT(*list, HasSubstr("Hot Cross Buns"));
    EXPECT_EQ(running.closeWindow(), 0);
  }
  EXPECT_THAT(files::readFile(home / "memory.json").value_or(""), HasSubstr("Jingle Bells"));
  OrvoProcess again({.home = home.path()});
  ASSERT_TRUE(again.waitForPrefix("@welcome"));
  auto list = listed(again);
  ASSERT_TRUE(list) << ::testing::PrintToString(again.lines());
  EXPECT_THAT(*list, Not(HasSubstr("Jingle Bells")));
  EXPECT_EQ(again.closeWindow(), 0);
}

}  // namespace
}  // namespace orvo::testing
