#include <algorithm>
#include <functional>
#include <set>
#include <tuple>

#include "desks/studio-desk.h"
#include "engine/engine-fixture.h"
#include "matchers.h"

namespace orvo {
namespace {

TEST_F(EngineTest, HomeMenuStepsWrapsAndOpens) {
  EXPECT_EQ(afterPress(keys.next), "Song menu.");
  EXPECT_EQ(afterPress(keys.back), "Lesson: Hot Cross Buns.");
  EXPECT_EQ(afterPress(keys.back), "Talk mode.");
  press(keys.notes);
  EXPECT_EQ(
      spokenOne(),
      "From home you can open: Lesson: Hot Cross Buns, Song menu, Jazz course, Composition, Ear "
      "training, Metronome, Practice timer, Ask me anything, REAPER control, Talk mode. Step "
      "through them with the third and fourth keys, and open one with the top key.");
  windowLines();

  // The top key opens the item heard last (talk mode) and puts the menu back at the start.
  EXPECT_THAT(afterPress(keys.hear), StartsWith("Talk mode."));
  EXPECT_THAT(windowLines(), ElementsAre("mode talk"));
  EXPECT_EQ(engine->currentMode(), Mode::talk);

  // Outside home the menu keys are not taken, and the home position was reset.
  press(keys.next);
  EXPECT_TRUE(spoken().empty());
  pressUnchecked(keys.home);
  EXPECT_EQ(afterPress(keys.next), "Song menu.");
}

TEST_F(EngineTest, HomeItemsOpenTheSongMenuAndTheStudios) {
  pressUnchecked(keys.next);  // song menu
  EXPECT_THAT(afterPress(keys.hear), StartsWith("Song menu."));
  EXPECT_EQ(engine->currentMode(), Mode::menu);
  pressUnchecked(keys.home);
  // The practice tools: the metronome and the timer on, then off again.
  for (auto [steps, on, off] : {std::tuple{5, "Metronome at 80.", "Metronome off."},
                                std::tuple{6, "Timer set for 5 minutes.", "Timer off."}}) {
    for (int twice = 0; twice < 2; ++twice) {
      for (int i = 0; i < steps; ++i) press(keys.next);
      spoken();
      EXPECT_EQ(afterPress(keys.hear), twice == 0 ? on : off);
    }
  }
  for (int i = 0; i < 8; ++i) press(keys.next);
  EXPECT_THAT(spoken(), Contains("REAPER control."));
  // No REAPER on this machine.
  EXPECT_EQ(afterPress(keys.hear), "I cannot find REAPER on this computer.");
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  // Logic control is offered only while Logic runs.
  for (int i = 0; i < 9; ++i) press(keys.next);
  EXPECT_THAT(spoken(), Not(Contains("Logic control.")));
  press(keys.home);
  studio.runs = true;
  engine->studioDesk().checkStudios();
  for (int i = 0; i < 9; ++i) press(keys.next);
  EXPECT_THAT(spoken(), Contains("Logic control."));
  EXPECT_THAT(afterPress(keys.hear), StartsWith("Logic control. "));
  EXPECT_EQ(engine->currentMode(), Mode::logic);
}

TEST_F(EngineTest, TalkKeyEntersTalkFromAnyModeAndLeavesTalkForHome) {
  for (Mode from : {Mode::idle, Mode::teach}) {
    engine->setMode(from);
    press(keys.talk);
    EXPECT_EQ(engine->currentMode(), Mode::talk);
    EXPECT_THAT(spokenOne(), StartsWith("Talk mode."));
    press(keys.talk);
    EXPECT_EQ(engine->currentMode(), Mode::idle);
    EXPECT_EQ(spokenOne(), "Talk mode off.");
  }
}

TEST_F(EngineTest, TalkKeysPlayTheirSentenceAsPianoNotesAndANewPressCutsItOff) {
  const std::string sentence = engine->talk().sentences().at(60);
  pianoSpeech[sentence] = {
      {0.0, {0x90, 67, 80}}, {0.3, {0x80, 67, 0}}, {0.4, {0x90, 70, 90}}, {1.5, {0x80, 70, 0}}};
  pressUnchecked(keys.talk);
  engine->noteEvent(60, 100);
  double start = runtime.now();
  runtime.runReady();
  using Bytes = std::vector<std::uint8_t>;
  EXPECT_THAT(midiBackend.published, ElementsAre(Bytes{0x90, 67, 80}, Bytes{0x80, 67, 0},
                                                 Bytes{0x90, 70, 90}, Bytes{0x80, 70, 0}));
  EXPECT_NEAR(runtime.now() - start, 1.5, 0.06);  // played in time

  // Leaving talk mode half-way stops the phrase at once and ends its held note.
  midiBackend.published.clear();
  engine->noteEvent(60, 100);
  runtime.after(0.6, [this] { press(keys.talk); });
  start = runtime.now();
  runtime.runReady();
  EXPECT_NEAR(runtime.now() - start, 0.6, 0.06);
  EXPECT_THAT(midiBackend.published, ElementsAre(Bytes{0x90, 67, 80}, Bytes{0x80, 67, 0},
                                                 Bytes{0x90, 70, 90}, Bytes{0x80, 70, 0}));
  EXPECT_TRUE(midi.sounding().empty());
  EXPECT_EQ(engine->currentMode(), Mode::idle);

  // A sentence that cannot be turned into notes is said instead; other keys do nothing.
  pressUnchecked(keys.talk);
  engine->noteEvent(62, 100);
  EXPECT_EQ(spokenOne(), engine->talk().sentences().at(62));
  engine->noteEvent(61, 100);
  EXPECT_TRUE(spoken().empty());
}

TEST_F(EngineTest, TalkSentencesComeFromTheDataFolder) {
  files::writeFileAtomically(
      home / "sentences.txt",
      "60=Good morning.\nnot a line\n64 = Time to practise.\n200=Too high.\n");
  restartEngine();
  EXPECT_EQ(engine->talk().sentences(),
            (std::map<int, std::string>{{60, "Good morning."}, {64, "Time to practise."}}));
}

TEST_F(EngineTest, IntroIsHeardTwiceAcrossRunsThenNeverAgain) {
  EXPECT_EQ(afterPress(keys.talk), "Talk mode. Try middle C, D, E, F or G.");
  pressUnchecked(keys.talk);
  restartEngine();  // a new run reads the counts back
  EXPECT_EQ(afterPress(keys.talk), "Talk mode. Try middle C, D, E, F or G.");
  pressUnchecked(keys.talk);
  restartEngine();
  EXPECT_EQ(afterPress(keys.talk), "Talk mode.");
}

TEST_F(EngineTest, CorruptIntroCountsFallBackAndAreRewrittenOnlyOnChange) {
  files::writeFileAtomically(home / "intros.json", "{not json");
  restartEngine();
  EXPECT_EQ(files::readFile(home / "intros.json"), "{not json");
  EXPECT_EQ(afterPress(keys.talk), "Talk mode. Try middle C, D, E, F or G.");
  auto counts = nlohmann::json::parse(files::readFile(home / "intros.json").value_or("null"));
  EXPECT_EQ(counts, nlohmann::json({{"talk", 1}}));
}

TEST_F(EngineTest, GoHomeResetsEverythingAndSpeaks) {
  EngineTestAccess::enterLesson(*engine, 5, 2, true);
  pressUnchecked(keys.pause);
  windowLines();
  midi.send({0x90, 60, 90});
  int genBefore = engine->currentGen();
  press(keys.home);
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  EXPECT_FALSE(engine->isPaused());
  EXPECT_GT(engine->currentGen(), genBefore);
  EXPECT_THAT(windowLines(), ElementsAre("mode idle", "now ", "paused 0"));
  std::string said = spokenOne();
  EXPECT_THAT(said, AnyOf(StartsWith("Back home."), StartsWith("Home again."),
                          StartsWith("Home, all quiet.")));
  EXPECT_THAT(said, HasSubstr("The third and fourth keys step through everything"));
  EXPECT_TRUE(midi.sounding().empty());
}

TEST_F(EngineTest, StopKeyOutsideLessonsDebouncesAndDoublePressIsForTheLiveBand) {
  const std::vector<std::string> stops = {"Okay, stopped.", "All quiet now.", "Stopping there."};
  press(keys.pause);
  EXPECT_THAT(stops, ::testing::Contains(spokenOne()));
  runtime.advance(0.2);  // within 0.35 s: the same press
  press(keys.pause);
  EXPECT_TRUE(spoken().empty());
  runtime.advance(0.3);  // 0.5 s after the first: a quick second press
  EXPECT_EQ(afterPress(keys.pause), "Live band on. Just play, and the band follows you.");
  EXPECT_THAT(windowLines(), ::testing::Contains("live 1"));
  runtime.advance(1.0);
  press(keys.pause);
  EXPECT_THAT(stops, ::testing::Contains(spokenOne()));
}

TEST_F(EngineTest, PausedLessonRemindsAtMostEveryFourSeconds) {
  EngineTestAccess::enterLesson(*engine, 5, 2, true);
  EXPECT_THAT(afterPress(keys.pause), AnyOf("Paused for now.", "Okay, paused."));
  EXPECT_TRUE(engine->isPaused());
  EXPECT_FALSE(EngineTestAccess::waiting(*engine));

  const std::string reminder = "Paused. Press the sixth key, or Return, to carry on.";
  EXPECT_EQ(afterPress(keys.next), reminder);
  runtime.advance(3.9);
  press(keys.hear);
  EXPECT_TRUE(spoken().empty());
  runtime.advance(0.2);
  EXPECT_EQ(afterPress(keys.talk), reminder);
  EXPECT_EQ(engine->currentMode(), Mode::teach);  // the key did nothing else

  // Help and home still work while paused.
  EXPECT_THAT(afterPress(keys.help), StartsWith("Lesson."));
  EXPECT_TRUE(engine->isPaused());

  // The sixth key carries on from the note the player was on.
  runtime.advance(1.0);
  EXPECT_EQ(afterPress(keys.pause), "Carrying on. You are on note 3 of 5.");
  EXPECT_TRUE(EngineTestAccess::waiting(*engine));
}

// A paused lesson never ends up neither listening nor saying why.
TEST_F(EngineTest, KeysThatLeaveAPauseNeverLeaveTheLessonDeaf) {
  EngineTestAccess::enterLesson(*engine, 4, 0, true);
  pressUnchecked(keys.pause);
  windowLines();
  // Another key only says how to go on.
  press(keys.notes);
  EXPECT_TRUE(engine->isPaused());
  EXPECT_EQ(spokenOne(), "Paused. Press the sixth key, or Return, to carry on.");
  runtime.advance(1.0);
  press(keys.pause);
  EXPECT_FALSE(engine->isPaused());
  spoken();
  EXPECT_TRUE(EngineTestAccess::waiting(*engine));

  // A number key starts its song from the top, out of the pause.
  runtime.advance(1.0);
  pressUnchecked(keys.pause);
  ASSERT_TRUE(engine->isPaused());
  engine->computerKey('2');
  EXPECT_FALSE(engine->isPaused());
  EXPECT_THAT(windowLines(), Contains("paused 0"));
  EXPECT_THAT(firstSpoken(), StartsWith("Mary Had a Little Lamb."));
  EXPECT_TRUE(EngineTestAccess::waiting(*engine));

  // The compose key leaves the pause for composition.
  runtime.advance(1.0);
  pressUnchecked(keys.pause);
  windowLines();
  press(keys.compose);
  EXPECT_FALSE(engine->isPaused());
  EXPECT_EQ(engine->currentMode(), Mode::compose);
  EXPECT_THAT(windowLines(), IsSupersetOf({"paused 0", "mode compose"}));
  EXPECT_THAT(firstSpoken(), StartsWith("Composition"));
}

TEST_F(EngineTest, StopEverythingPausesLessonsAndPausesTheMusicPlayerOnlyWhenQuietAtHome) {
  const std::vector<std::string> stops = {"Okay, stopped.", "All quiet now.", "Stopping there."};
  engine->stopEverything();
  EXPECT_THAT(stops, ::testing::Contains(spokenOne()));

  // Quiet at home with the player playing: the player is paused instead.
  player.isPlaying = true;
  runtime.advance(3.0);
  engine->stopEverything();
  EXPECT_EQ(spokenOne(), "Spotify is paused.");
  player.isPlaying = true;
  player.stopsWhenAsked = false;
  runtime.advance(3.0);
  engine->stopEverything();
  EXPECT_EQ(spokenOne(), "I asked Spotify to stop, but it's still playing.");

  // Just after speaking, the stop is for us, not for the player.
  engine->stopEverything();
  EXPECT_THAT(stops, ::testing::Contains(spokenOne()));

  EngineTestAccess::enterLesson(*engine, 3, 1, true);
  runtime.advance(1.0);
  engine->stopEverything();
  EXPECT_TRUE(engine->isPaused());
  EXPECT_THAT(spokenOne(), AnyOf("Paused for now.", "Okay, paused."));
}

TEST_F(EngineTest, HelpFollowsTheModeAndLetsTheLessonListenAgain) {
  engine->help();
  std::string said = spokenOne();
  EXPECT_THAT(said, StartsWith("Home. Keys three and four"));
  EXPECT_THAT(said, HasSubstr(" On the computer, slash opens the full list on screen."));

  EngineTestAccess::enterLesson(*engine, 4, 1, false);
  EXPECT_THAT(afterPress(keys.help), StartsWith("Lesson. Counting white keys"));
  EXPECT_TRUE(EngineTestAccess::waiting(*engine));

  // Each mode's help is its own, and names the computer key beside the
  // piano key of each action, and the way home.
  std::set<std::string> texts;
  for (Mode mode : {Mode::idle, Mode::teach, Mode::talk, Mode::compose, Mode::jazz, Mode::menu,
                    Mode::logic, Mode::reaper}) {
    engine->setMode(mode);
    const std::string help = engine->helpText();
    texts.insert(help);
    for (const char* key : {"space", "zero"}) {
      EXPECT_THAT(help, HasSubstr(key)) << modeName(mode);
    }
  }
  EXPECT_EQ(texts.size(), 8u);
}

// Every mode is entered and changed, then left for home: nothing of it may remain.
TEST_F(EngineTest, GoingHomeLeavesNothingOfAnyMode) {
  using Bytes = std::vector<std::uint8_t>;
  auto knocks = [&] {
    return std::count_if(midiBackend.published.begin(), midiBackend.published.end(),
                         [](const Bytes& bytes) { return bytes[0] == 0x99; });
  };
  struct Case {
    const char* mode;
    std::function<void()> enterAndChange;
    std::function<void()> nothingLeft;
  };
  const std::string talkSentence = engine->talk().sentences().at(60);
  std::vector<Case> cases = {
      {"home",
       [&] {
         press(keys.next);
         press(keys.next);  // the menu stepped on to its third item
       },
       [&] {
         EXPECT_EQ(afterPress(keys.next), "Song menu.");  // from the top again
       }},
      {"talk", [&] { press(keys.talk); },
       [&] {
         engine->noteEvent(60, 90);
         engine->noteEvent(60, 0);
         EXPECT_THAT(spoken(), Not(Contains(talkSentence)));
       }},
      {"lesson",
       [&] {
         EngineTestAccess::enterLesson(*engine, 5, 2, true);
         runtime.advance(1.0);
         press(keys.pause);
       },
       [&] {
         EXPECT_FALSE(engine->isPaused());
         EXPECT_FALSE(EngineTestAccess::waiting(*engine));
         midiBackend.published.clear();
         engine->noteEvent(50, 90);  // once wrong in the lesson, now no note of it
         runtime.advance(0.5);
         EXPECT_EQ(knocks(), 0);
       }},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.mode);
    each.enterAndChange();
    spoken();
    pressUnchecked(keys.home);
    EXPECT_EQ(engine->currentMode(), Mode::idle);
    each.nothingLeft();
    spoken();
  }
}

}  // namespace
}  // namespace orvo
