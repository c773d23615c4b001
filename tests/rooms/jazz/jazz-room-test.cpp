// The jazz course through the engine on the virtual clock: a lesson's study
// taught by the lesson flow, the jam with its band, the verdict, the keys,
// and the composing ideas.

#include "rooms/jazz/jazz-room.h"
#include "engine/engine-fixture.h"
#include "lessons/jazz-course.h"
#include "matchers.h"
#include "player/json-file.h"
#include "rooms/compose/compose-room.h"

namespace orvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

class JazzTest : public EngineTest {
 protected:
  JazzTest() { spoken(); }

  void until(double t) {
    if (t > runtime.now()) runtime.advance(t - runtime.now());
  }
  // Plays whatever the lesson waits for, unit after unit, until it stops waiting.
  std::vector<std::string> playStudy() {
    std::vector<std::string> said = spoken();
    for (int units = 0; units < 40 && EngineTestAccess::waiting(*engine); ++units) {
      for (const Step& step : EngineTestAccess::steps(*engine)) {
        for (int pitch : step.pitches) engine->noteEvent(pitch, 90);
        runtime.advance(0.2);
        for (int pitch : step.pitches) engine->noteEvent(pitch, 0);
        runtime.advance(0.2);
      }
      runtime.advance(0.6);
      for (auto& sentence : spoken()) said.push_back(sentence);
    }
    return said;
  }
  int bandNotes(int channel) {
    int n = 0;
    for (const auto& bytes : midiBackend.published) n += bytes[0] == (0x90 | channel);
    return n;
  }
  std::optional<int> rememberedLesson() {
    runtime.runReady();
    auto stored = jsonfile::readObject(home / "memory.json");
    if (!stored || !stored->contains("jazzLesson")) return std::nullopt;
    return (*stored)["jazzLesson"].get<int>();
  }
};

TEST_F(JazzTest, ALessonTeachesItsStudyThenJamsAndTellsTheSwing) {
  // Home's third item is the course, at the first lesson the first time.
  press(keys.next);
  EXPECT_EQ(afterPress(keys.next), "Jazz course.");
  press(keys.hear);
  const auto opening = playStudy();
  ASSERT_FALSE(opening.empty());
  EXPECT_THAT(opening.front(),
              StartsWith("Jazz lesson 1 of 9. Swing. Jazz starts with the feel, not the notes."));
  EXPECT_THAT(opening.front(),
              HasSubstr(" First, learn this short study, a few notes at a time. "));
  EXPECT_THAT(opening.back(), HasSubstr("You have the study. Now with the band. Play long, short "
                                        "pairs on C, E flat, F and G."));
  EXPECT_EQ(engine->currentMode(), Mode::jazz);
  EXPECT_THAT(windowLines(), Contains("now Jazz 1: Swing, with the band"));
  EXPECT_FALSE(jsonfile::readObject(home / "progress.json")
                   .value_or(nlohmann::json::object())
                   .contains("Jazz Swing"))
      << "a study keeps no progress of its own";

  // The band started when the tip ended: a bar of hi-hat, then the player's part.
  midiBackend.published.clear();
  const double beat = 60.0 / 88;
  const double from = engine->jazz().jamStart();
  EXPECT_LE(from, runtime.now() + 4 * beat);
  for (int k = 0; k < 24 * 4; ++k) {
    until(from + k * beat);
    engine->noteEvent(60 + (k % 2) * 3, 90);
    until(from + (k + 0.5) * beat);
    engine->noteEvent(60 + (k % 2) * 3, 0);
    until(from + (k + 0.67) * beat);
    engine->noteEvent(65, 70);
    until(from + (k + 0.9) * beat);
    engine->noteEvent(65, 0);
  }
  until(from + 24 * 4 * beat + 3);
  EXPECT_EQ(spokenOne(),
            "That swings. Your short notes sit late in the beat, where they belong. Top key to "
            "go again. Third key for the next lesson.");
  EXPECT_EQ(bandNotes(1), 24 * 4 + 1);  // the walk, and the last hit
  EXPECT_EQ(bandNotes(5), 24 * 6);      // the comping
  EXPECT_GT(bandNotes(9), 24 * 6);
  EXPECT_THAT(midi.sounding(), IsEmpty());
  EXPECT_EQ(rememberedLesson(), 1);

  // A new run carries on at lesson 2, from the computer's 'j'.
  restartEngine();
  engine->computerKey('j');
  EXPECT_THAT(firstSpoken(), StartsWith("Jazz lesson 2 of 9. The blues scale."));
}

TEST_F(JazzTest, JazzKeysDuringAJamAndStoppingIt) {
  // No study: straight to the jam.
  EXPECT_EQ(afterCommand("jazz 4"),
            "Jazz lesson 4 of 9. Call and response. Jazz is a conversation. I play two bars, then "
            "you get two bars. Copy what I said, or answer it your own way. Start by copying my "
            "rhythm. I go first. You answer in the gap.");
  EXPECT_EQ(engine->currentMode(), Mode::jazz);
  runtime.advance(4.0);
  EXPECT_GT(bandNotes(0), 0) << "the first call";
  EXPECT_GT(bandNotes(1), 0);

  EXPECT_THAT(afterPress(keys.notes), StartsWith("Jazz is a conversation."));
  EXPECT_TRUE(engine->jazz().jamming()) << "the idea again does not stop the band";

  EXPECT_EQ(afterPress(keys.pause), "The band has stopped. Again, or on to the next lesson.");
  EXPECT_THAT(midi.sounding(), IsEmpty());
  midiBackend.published.clear();
  runtime.advance(80.0);
  EXPECT_EQ(bandNotes(1), 0) << "nothing more from the band";
  EXPECT_THAT(spoken(), IsEmpty()) << "a stopped jam gets no verdict";

  // Again, then home half way: no stuck notes, no verdict, the course closed.
  EXPECT_EQ(afterPress(keys.hear), "I go first. You answer in the gap.");
  runtime.advance(10.0);
  pressUnchecked(keys.home);
  EXPECT_THAT(midi.sounding(), IsEmpty());
  EXPECT_FALSE(engine->jazz().lessonIndex());
  midiBackend.published.clear();
  runtime.advance(80.0);
  EXPECT_EQ(bandNotes(1) + bandNotes(5) + bandNotes(9), 0);
  EXPECT_THAT(spoken(), IsEmpty());
  EXPECT_EQ(rememberedLesson(), 3) << "the lesson opened, not one finished";

  // A jam with nothing played, stopped by a spoken "stop" on the way.
  EXPECT_THAT(afterHearing("jazz lesson nine"),
              HasSubstr("This part is free. There is no right or wrong note to find"));
  EXPECT_TRUE(engine->jazz().jamming());
  EXPECT_THAT(afterHearing("stop"),
              ::testing::AnyOf("Okay, stopped.", "All quiet now.", "Stopping there."));
  EXPECT_THAT(midi.sounding(), IsEmpty());
  EXPECT_FALSE(engine->jazz().jamming());
}

TEST_F(JazzTest, NextAndBackMoveThroughTheLessonsAndBadNumbersAreTold) {
  EXPECT_EQ(afterCommand("jazz 0"), "There are nine jazz lessons. Choose one from 1 to 9.");
  EXPECT_EQ(afterCommand("jazz ten"), "There are nine jazz lessons. Choose one from 1 to 9.");

  // Back before the first study's first unit: there is no lesson before it.
  engine->appCommand("jazz 1");
  spoken();
  EXPECT_EQ(afterPress(keys.back),
            "This is the first jazz lesson. The top key plays with the band again.");
  // Skipping past the study's last unit starts the jam.
  for (int i = 0; i < 10 && engine->currentMode() == Mode::teach; ++i) {
    pressUnchecked(keys.next);
  }
  EXPECT_EQ(engine->currentMode(), Mode::jazz);
  press(keys.next);
  EXPECT_THAT(firstSpoken(), StartsWith("Jazz lesson 2 of 9. The blues scale."));
  EXPECT_EQ(engine->currentMode(), Mode::teach);
  EXPECT_EQ(*engine->jazz().lessonIndex(), 1);

  EXPECT_THAT(afterCommand("jazz 9"), StartsWith("Jazz lesson 9 of 9. Jam session."));
  EXPECT_EQ(afterPress(keys.next),
            "This is the last jazz lesson. The top key plays with the band again.");
  press(keys.back);
  EXPECT_THAT(firstSpoken(), StartsWith("Jazz lesson 8 of 9. One idea, three ways."));

  // A song chosen leaves the course: the song's own ends move between songs.
  engine->lessons().chooseSong(0);
  spoken();
  EXPECT_FALSE(engine->jazz().lessonIndex());
  EXPECT_EQ(engine->currentMode(), Mode::teach);
}

TEST_F(JazzTest, TheTalkKeyInCompositionPlaysTheNextIdea) {
  pressUnchecked(keys.compose);
  midiBackend.published.clear();
  press(keys.talk);
  auto said = spoken();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_THAT(said[0], StartsWith("The four chord loop. C, G, A minor, F."));
  EXPECT_THAT(said[1],
              ::testing::AnyOf("Your turn. Make it yours.", "Now you. Change anything you like.",
                               "Try it your own way."));
  // Four chords over four bass notes: C, G, A and F.
  std::vector<int> bass;
  for (const auto& bytes : midiBackend.published)
    if (bytes[0] == 0x91) bass.push_back(bytes[1] % 12);
  EXPECT_THAT(bass, ElementsAre(0, 7, 9, 5));
  EXPECT_EQ(engine->currentMode(), Mode::compose);
  EXPECT_THAT(midi.sounding(), IsEmpty());

  // On through the list, and round again after the eleventh.
  for (int i = 1; i < 10; ++i) {
    pressUnchecked(keys.talk);
  }
  press(keys.talk);
  EXPECT_THAT(firstSpoken(), StartsWith("One idea, three times. Another melody idea."));
  press(keys.talk);
  EXPECT_THAT(firstSpoken(), StartsWith("The four chord loop."));
  restartEngine();
  pressUnchecked(keys.compose);
  press(keys.talk);
  EXPECT_THAT(firstSpoken(), StartsWith("Start on the sad one.")) << "remembered across runs";
}

// The pedal down and one key held through a whole jam; then a flood of notes.
TEST_F(JazzTest, AJamOfOneHeldNoteOrOfThousandsStillGetsItsVerdict) {
  engine->appCommand("jazz 4");
  spoken();
  engine->pedal(true);
  engine->noteEvent(60, 90);
  runtime.advance(80.0);
  EXPECT_EQ(spokenOne(),
            "I hardly heard you. Jump in, there are no wrong notes here. Top key to go again. "
            "Third key for the next lesson.");
  engine->noteEvent(60, 0);
  engine->pedal(false);

  pressUnchecked(keys.hear);
  const double from = engine->jazz().jamStart();
  for (int i = 0; i < 2000; ++i) {
    until(from + i * 0.03);
    engine->noteEvent(48 + i % 40, 80);
    engine->noteEvent(48 + i % 40, 0);
  }
  runtime.advance(80.0);
  EXPECT_THAT(spokenOne(), StartsWith("You played while I was talking."));
  EXPECT_THAT(midi.sounding(), IsEmpty());
}

}  // namespace
}  // namespace orvo
