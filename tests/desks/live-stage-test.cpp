// The live band and the jam, through the engine, on the virtual clock.

#include "desks/live-stage.h"
#include "engine/engine-fixture.h"
#include "matchers.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

class LiveTest : public EngineTest {
 protected:
  LiveTest() { spoken(); }
  // Band messages (channels 1 to 3) published since the last call.
  std::vector<Bytes> band() {
    runtime.runReady();
    std::vector<Bytes> out;
    for (auto& bytes : midiBackend.published) {
      int channel = bytes[0] & 0x0F;
      if (channel >= 1 && channel <= 3) out.push_back(bytes);
    }
    midiBackend.published.clear();
    return out;
  }
};

TEST_F(LiveTest, TheBandFollowsAtHomeAndInCompositionAndNeverInALesson) {
  EXPECT_EQ(afterKey('b'), "Live band on. Just play, and the band follows you.");
  EXPECT_THAT(windowLines(), Contains("live 1"));
  band();
  engine->noteEvent(36, 90);
  // The bass is due exactly 80 ms after its note, not at a tick.
  runtime.advance(0.079);
  EXPECT_THAT(band(), ::testing::IsEmpty());
  runtime.advance(0.002);
  auto sent = band();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0], (Bytes{0x91, 36, 56}));  // 70 times the player's loudness
  // Buttons are never music.
  engine->noteEvent(keys.notes, 80);
  engine->noteEvent(keys.notes, 0);
  runtime.advance(0.5);
  for (const auto& bytes : band()) EXPECT_NE(bytes[1], keys.notes);
  // After the player stops, everything is released within 5 s.
  engine->noteEvent(36, 0);
  runtime.advance(5.0);
  std::map<std::pair<int, int>, int> held;
  for (const auto& bytes : sent) held[{bytes[0] & 0x0F, bytes[1]}] += (bytes[0] & 0xF0) == 0x90;
  for (const auto& bytes : band()) {
    if ((bytes[0] & 0xF0) == 0x80) held[{bytes[0] & 0x0F, bytes[1]}] -= 1;
    if ((bytes[0] & 0xF0) == 0x90) held[{bytes[0] & 0x0F, bytes[1]}] += 1;
  }
  for (const auto& [note, count] : held) EXPECT_EQ(count, 0) << note.first << " " << note.second;

  // In a lesson the band hears nothing.
  EngineTestAccess::enterLesson(*engine, 4, 0, true);
  engine->noteEvent(36, 90);
  runtime.advance(1.0);
  EXPECT_TRUE(band().empty());
  // "~live" switches it off, with its sentence and line.
  spoken();
  windowLines();
  EXPECT_EQ(afterCommand("live"), "Live band off.");
  EXPECT_THAT(windowLines(), Contains("live 0"));
}

TEST_F(LiveTest, ADoubleStopPressTogglesItAndATakeWithItsBandSilencesItFirst) {
  press(keys.pause);
  runtime.advance(0.5);
  press(keys.pause);
  EXPECT_THAT(spoken(), Contains("Live band on. Just play, and the band follows you."));
  EXPECT_TRUE(engine->live().liveOn());
  // A third press is a stop again, not another switch.
  runtime.advance(0.5);
  press(keys.pause);
  EXPECT_TRUE(engine->live().liveOn());

  runtime.advance(2.0);
  pressUnchecked(keys.compose);
  for (int i = 0; i < 8; ++i) {
    engine->noteEvent(i % 2 ? 52 : 36, 90);
    runtime.advance(0.3);
    engine->noteEvent(i % 2 ? 52 : 36, 0);
  }
  EXPECT_TRUE(engine->live().band().sounding().bass);
  engine->computerKey(' ');  // the take with its band
  EXPECT_FALSE(engine->live().band().sounding().bass);
  // Spoken requests switch it too.
  spoken();
  engine->hear("live band off");
  EXPECT_THAT(spoken(), Contains("Live band off."));
  EXPECT_FALSE(engine->live().liveOn());
  engine->hear("the live band off please");
  EXPECT_THAT(spoken(), Contains("The live band is off."));
  engine->hear("play with me");
  EXPECT_TRUE(engine->live().liveOn());
  engine->hear("follow me");
  EXPECT_THAT(spoken(), Contains("The live band is already following you."));
  engine->hear("stop the band");
  EXPECT_THAT(spoken(), Contains("Live band off."));
  EXPECT_FALSE(engine->live().liveOn());
}

TEST_F(LiveTest, TheJamAnswersAPhraseAfterAQuietSecondAndAQuarter) {
  engine->hear("jam with me");
  EXPECT_THAT(spoken(), Contains("Let's talk in music. Play me a short phrase, then stop, and I "
                                 "will answer. Say Orvo stop when you have had enough."));
  midiBackend.published.clear();
  auto answerNotes = [&] {
    runtime.runReady();
    int count = 0;
    for (auto& bytes : midiBackend.published) count += bytes[0] == 0x90 && bytes[2] > 0;
    midiBackend.published.clear();
    return count;
  };
  const std::vector<int> phrase = {60, 62, 64, 65, 67};
  for (int pitch : phrase) {
    engine->noteEvent(pitch, 80);
    runtime.advance(0.2);
    engine->noteEvent(pitch, 0);
    runtime.advance(0.05);
  }
  // 1.2 s of quiet: no answer yet, and a note then starts the wait again.
  runtime.advance(0.95);
  EXPECT_EQ(answerNotes(), 0);
  engine->noteEvent(69, 80);
  runtime.advance(0.2);
  engine->noteEvent(69, 0);
  runtime.advance(1.0);
  EXPECT_EQ(answerNotes(), 0);
  // Then the answer: a variation of the phrase, as many notes, on channel 0.
  runtime.advance(3.0);
  EXPECT_EQ(answerNotes(), 6);
  EXPECT_THAT(logText(), ::testing::HasSubstr("jam answer: 6 notes"));

  // Going home while it waits ends the jam: no answer comes.
  engine->noteEvent(60, 80);
  engine->noteEvent(60, 0);
  engine->goHome();
  runtime.advance(3.0);
  EXPECT_EQ(answerNotes(), 0);
  EXPECT_FALSE(engine->live().jamOn());
}

}  // namespace
}  // namespace orvo
