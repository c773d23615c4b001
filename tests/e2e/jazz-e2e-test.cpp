// The jazz course through the real binary on FIFOs: the first lesson's study
// played back from the notes its demonstrations sent, then a swung jam in
// time with the band, its verdict, and the lesson reached kept for a new run.

#include <map>

#include "e2e/fifo-piano.h"
#include "matchers.h"

namespace orvo::testing {
namespace {

std::string everything(const OrvoProcess& orvo) {
  std::string all;
  for (const auto& line : orvo.lines()) all += line.substr(0, 100) + "\n";
  return all;
}

TEST(JazzSession, TheFirstLessonsStudyThenASwungJamAndTheNextLessonRemembered) {
  PianoSession s;
  ASSERT_TRUE(s.ready());
  double mark = MidiOut::now();
  s.orvo.write("j");
  ASSERT_TRUE(s.orvo.waitForPrefix("Jazz lesson 1 of 9. Swing. Jazz starts with the feel"));

  // Each part: the notes the demonstration played on the piano's channel,
  // played back in the same order.
  bool jamming = false;
  for (int parts = 0; parts < 12 && !jamming; ++parts) {
    auto line = s.orvo.waitForLine(
        [](const std::string& l) { return isTurn(l) || l == "@now Jazz 1: Swing, with the band"; },
        40);
    ASSERT_TRUE(line) << everything(s.orvo);
    if (*line == "@now Jazz 1: Swing, with the band") {
      jamming = true;
      break;
    }
    std::vector<int> demo;
    for (const auto& m : s.out.since(mark)) {
      if (m.status == 0x90 && m.velocity > 0) demo.push_back(m.key);
    }
    ASSERT_FALSE(demo.empty()) << "no demonstration before \"" << *line << "\"";
    // The next part's demonstration may begin as soon as the last note lands.
    for (std::size_t i = 0; i < demo.size(); ++i) {
      if (i + 1 == demo.size()) mark = MidiOut::now();
      s.keys.send({0x90, demo[i], 90});
      Keyboard::wait(0.12);
      s.keys.send({0x80, demo[i], 0});
      Keyboard::wait(0.08);
    }
  }
  ASSERT_TRUE(jamming) << everything(s.orvo);
  ASSERT_TRUE(s.orvo.waitForLine([](const std::string& l) {
    return l.find("You have the study. Now with the band.") != std::string::npos;
  }));

  // The bass's first note is the first beat of the player's part.
  const double jamFrom = MidiOut::now() - 1.0;
  double first = 0;
  for (int tries = 0; tries < 400 && first == 0; ++tries) {
    for (const auto& m : s.out.since(jamFrom)) {
      if (m.status == 0x91 && m.velocity > 0) {
        first = m.at;
        break;
      }
    }
    if (first == 0) Keyboard::wait(0.01);
  }
  ASSERT_GT(first, 0) << "the band never started";
  int hats = 0;
  for (const auto& m : s.out.since(jamFrom))
    hats += m.status == 0x99 && m.key == 42 && m.at < first;
  EXPECT_EQ(hats, 4) << "a bar of count-in";

  // Eight bars of long-short pairs, the short note two thirds into the beat.
  const double beat = 60.0 / 88;
  auto until = [](double t) {
    const double left = t - MidiOut::now();
    if (left > 0) Keyboard::wait(left);
  };
  for (int k = 0; k < 32; ++k) {
    const double on = first + k * beat;
    until(on);
    s.keys.send({0x90, 60, 90});
    until(on + 0.55 * beat);
    s.keys.send({0x80, 60, 0});
    until(on + 0.67 * beat);
    s.keys.send({0x90, 63, 70});
    until(on + 0.9 * beat);
    s.keys.send({0x80, 63, 0});
  }
  ASSERT_TRUE(s.orvo.waitFor(
      "That swings. Your short notes sit late in the beat, where they belong. Top key to go "
      "again. Third key for the next lesson.",
      80))
      << everything(s.orvo);

  // The band let every note go, and played every walking note on its beat.
  std::map<std::pair<int, int>, int> held;
  int walk = 0;
  for (const auto& m : s.out.since(jamFrom)) {
    const int kind = m.status & 0xF0, channel = m.status & 0x0F;
    if (kind == 0x90 && m.velocity > 0) ++held[{channel, m.key}];
    if (kind == 0x80 || (kind == 0x90 && m.velocity == 0)) --held[{channel, m.key}];
    if (m.status == 0x91 && m.velocity > 0) {
      const double beats = (m.at - first) / beat;
      EXPECT_NEAR(beats, std::round(beats), 0.08) << "bass note " << walk;
      ++walk;
    }
  }
  EXPECT_EQ(walk, 24 * 4 + 1);
  for (const auto& [note, count] : held)
    EXPECT_LE(count, 0) << "channel " << note.first << " key " << note.second << " still on";

  EXPECT_EQ(s.orvo.closeWindow(), 0);

  // A new run opens the course at the next lesson.
  OrvoProcess again(s.piano.options());
  ASSERT_TRUE(again.waitForPrefix("@welcome"));
  EXPECT_TRUE(again.answersWithPrefix("j", "Jazz lesson 2 of 9. The blues scale."))
      << everything(again);
  EXPECT_EQ(again.closeWindow(), 0);
}

}  // namespace
}  // namespace orvo::testing
