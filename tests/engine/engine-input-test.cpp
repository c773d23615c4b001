#include <sys/stat.h>

#include <cstdlib>

#include "engine/engine-fixture.h"
#include "matchers.h"
#include "platform/login-items.h"

namespace orvo {
namespace {

TEST_F(EngineTest, SetupSavesTheProfileAndTheNameLineFollowsIt) {
  EXPECT_EQ(afterCommand("setup Ada|Melody|yes"),
            "All set, Ada. I'm Melody. Whenever you need me, say Melody, then what you'd like. "
            "Try: Melody, what can you do?");
  EXPECT_THAT(windowLines(), ElementsAre("name Ada|Melody"));

  restartEngine();  // the next run reads it back
  Profile profile = engine->currentProfile();
  EXPECT_EQ(profile.userName, "Ada");
  EXPECT_EQ(profile.assistantName, "Melody");
  EXPECT_TRUE(profile.neuralVoice);
  engine->appCommand("name");
  EXPECT_THAT(windowLines(), ElementsAre("name Ada|Melody", StartsWith("vocab Melody, ")));

  EXPECT_THAT(afterCommand("bg"),
              AnyOf("I'm still here, in the background. Just say my name.",
                    "The window's closed, but I'm still listening. Just say Melody."));
}

// A change the player asked for is confirmed only once it is kept: on a full
// disk each gets one sentence that it could not be, and why, instead.
TEST_F(EngineTest, AChangeIsConfirmedOnlyOnceItIsKept) {
  struct Change {
    std::string line, confirmation, file;
  };
  const Change changes[] = {
      {"setup Bo|Orvo|no",
       "All set, Bo. I'm Orvo. Whenever you need me, say Orvo, then what you'd like. Try: Orvo, "
       "what can you do?",
       "profile.json"},
      {"say when i say mango i mean play a song",
       "Got it. When you say mango, I will take it as play a song.", "learned.json"},
      {"hands left",
       "Lessons will teach the left hand only, from now on. Say both hands to change back.",
       "hands.txt"},
      {"say guided",
       "Guided mode. I will explain every change and wait for a yes before I make it.",
       "daw-mode.txt"},
  };
  store.failWrites("the disk is full");
  for (const Change& change : changes) {
    EXPECT_EQ(afterCommand(change.line), "I couldn't keep that, because the disk is full.")
        << change.line;
    EXPECT_FALSE(files::readFile(home / change.file)) << change.file;
  }
  store.failWrites(std::nullopt);
  for (const Change& change : changes) {
    EXPECT_EQ(afterCommand(change.line), change.confirmation);
    EXPECT_TRUE(files::readFile(home / change.file)) << change.file;
  }
  // A dropped song: the memory is kept first, and the drop not kept is in the next one that is.
  store.failWrites("the disk is full");
  EXPECT_EQ(afterCommand("drop"), "I couldn't keep that, because the disk is full.");
  store.failWrites(std::nullopt);
  EXPECT_EQ(afterCommand("drop"), "Dropped Mary Had a Little Lamb from your songs.");
  const std::string memory = files::readFile(home / "memory.json").value_or("");
  EXPECT_THAT(memory, HasSubstr("Hot Cross Buns"));
  EXPECT_THAT(memory, HasSubstr("Mary Had a Little Lamb"));
  // The band's style and level and the top key, likewise.
  store.failWrites("the disk is full");
  EXPECT_EQ(afterCommand("bandstyle"), "I couldn't keep that, because the disk is full.");
  EXPECT_EQ(afterKey(']'), "I couldn't keep that, because the disk is full.");
  EXPECT_FALSE(files::readFile(home / "band-style-2.txt"));
  engine->computerKey('K');
  spoken();
  engine->noteEvent(110, 70);
  EXPECT_EQ(spokenOne(), "I couldn't keep that, because the disk is full.");
  EXPECT_EQ(files::readFile(home / "top-key.txt"), "108\n");
  // A voice chosen by key or by asking.
  speaker.nextVoiceAnswer = "Emma";
  EXPECT_EQ(afterKey('v'), "I couldn't keep that, because the disk is full.");
  EXPECT_EQ(afterHearing("use another voice"), "I couldn't keep that, because the disk is full.");
  store.failWrites(std::nullopt);
  EXPECT_EQ(afterKey('v'), "This is Emma.");
  EXPECT_EQ(afterHearing("use another voice"), "This is Emma. I will use this voice from now on.");
  EXPECT_EQ(files::readFile(home / "voice.txt"), "Emma\n");
}

// A memory that is there but cannot be read is left as it is, and said once.
TEST_F(EngineTest, AMemoryThatCannotBeReadIsLeftAloneAndSaid) {
  ASSERT_EQ(::mkfifo((home / "memory.json").c_str(), 0600), 0);
  restartEngine();
  engine->greet("Piano connected.", true);
  auto said = spoken();
  ASSERT_FALSE(said.empty());
  EXPECT_THAT(said, Contains(HasSubstr("I couldn't read what I remember of your pieces and "
                                       "lessons, so I'm leaving that file as it is.")));
  engine->markOpened("today");
  runtime.runReady();
  EXPECT_TRUE(std::filesystem::is_fifo(home / "memory.json"));
}

// Asked for the next voice before the list has come, the answer is that sentence alone.
TEST_F(EngineTest, TheNextVoiceBeforeTheListHasComeIsSaidPlainly) {
  speaker.nextVoiceAnswer = SpeechOutput::kVoicesLoading;
  EXPECT_EQ(afterKey('v'), "The voices are still loading. Try again in a moment.");
  EXPECT_EQ(afterHearing("use another voice"),
            "The voices are still loading. Try again in a moment.");
}

// A keyboard coming or going is said, except while a lesson waits on a note.
TEST_F(EngineTest, APianoComingOrGoingIsSaid) {
  engine->keyboardChanged(false);
  EXPECT_EQ(spokenOne(), "Piano disconnected.");
  engine->keyboardChanged(true);
  EXPECT_EQ(spokenOne(), "Piano connected.");
  EngineTestAccess::enterLesson(*engine, 4, 1, true);
  engine->keyboardChanged(false);
  EXPECT_THAT(spoken(), IsEmpty());
}

TEST_F(EngineTest, TypedLinesOfLaterSubsystemsAreLoggedNeverSilent) {
  EXPECT_EQ(afterCommand("something odd"), "Sorry, typing a request is not ready yet.");
  EXPECT_THAT(logText(), HasSubstr("not yet: typing a request"));
}

// Recognised speech reaches the listener, and each sentence the engine says
// tells it when it ended and whether an answer is expected.
TEST_F(EngineTest, TheListenerHearsTheNameAndIsToldWhenEachSentenceEnds) {
  auto voiceLog = [this] { return files::readFile(home / "voice-log.txt").value_or(""); };
  engine->appCommand("ear 0 Orvo could you talk slower with");
  engine->appCommand("ear 1 Orvo could you talk slower with me");
  runtime.advance(1.0);
  EXPECT_THAT(windowLines(), Contains("earreset"));
  // The platform voice keeps the player's own rate, and says so.
  const std::string ownRate =
      "Only my natural voice changes speed here. This voice keeps the speed set in your "
      "computer's speech settings.";
  EXPECT_EQ(spokenOne(), ownRate);
  EXPECT_THAT(logText(), HasSubstr("heard \"could you talk slower with me\": own rate"));
  auto speaking = engine->speakingNow();
  EXPECT_EQ(speaking.lastSpoken, ownRate);
  EXPECT_DOUBLE_EQ(speaking.lastSpokenAt, 1000.9);  // after the 0.9 s an unfinished request waits

  // The sentence ended, so a remark soon after may be a follow-up: it is let go.
  runtime.advance(0.7);
  engine->appCommand("ear 1 nice weather today");
  runtime.advance(1.0);
  EXPECT_THAT(voiceLog(), HasSubstr("let a remark go by"));
  EXPECT_TRUE(spoken().empty());

  // A question pending: the answer needs no name and is a real request.
  engine->setPendingSentence("yes");
  engine->speak("Shall I start?");
  EXPECT_EQ(spokenOne(), "Shall I start?");
  engine->setPendingSentence(std::nullopt);
  runtime.advance(1.0);
  engine->appCommand("ear 1 speak faster");
  runtime.advance(1.0);
  EXPECT_THAT(logText(), HasSubstr("heard \"speak faster\": own rate"));
  EXPECT_EQ(spokenOne(), ownRate);

  // A sentence cut off by a press ends the speaking but opens no follow-up.
  runtime.advance(10.0);
  speaker.whileSaying = [this] { engine->cutIn(); };
  engine->speak("A long story about pianos.");
  runtime.runReady();
  speaker.whileSaying = nullptr;
  EXPECT_DOUBLE_EQ(engine->speakingNow().lastSpokenAt, runtime.now());
  runtime.advance(1.0);
  engine->appCommand("ear 1 hmm what a story");
  runtime.advance(1.0);
  EXPECT_THAT(voiceLog(), Not(HasSubstr("hmm what a story")));

  engine->interrupt();
  EXPECT_DOUBLE_EQ(engine->speakingNow().lastSpokenAt, runtime.now() - 1.0);
  // The exact line "ear" is still ear training.
  engine->appCommand("ear");
  EXPECT_THAT(spoken(), Contains(StartsWith("Ear training. ")));
}

TEST_F(EngineTest, LoginWritesAndRemovesTheAutostartEntry) {
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  EXPECT_EQ(afterCommand("login on"),
            "Done. I'll start by myself whenever you log in, out of sight, and listen for my "
            "name.");
  auto entry = files::readFile(login::autostartFile());
  ASSERT_TRUE(entry);
  EXPECT_THAT(*entry, HasSubstr("Exec="));
  EXPECT_EQ(afterCommand("login off"), "Okay. I won't start by myself any more.");
  EXPECT_FALSE(std::filesystem::exists(login::autostartFile()));

  // A folder that cannot be made: the failure is said, not hidden.
  files::writeFileAtomically(home / "blocked", "a file, not a folder");
  ::setenv("XDG_CONFIG_HOME", (home / "blocked").c_str(), 1);
  EXPECT_THAT(afterCommand("login on"), HasSubstr("wouldn't let me set that"));
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(EngineTest, BandLevelKeysStepAndSayWhenTheyCanGoNoFurther) {
  for (int i = 0; i < 4; ++i) engine->computerKey(']');
  auto said = spoken();
  EXPECT_THAT(said, Contains("Band louder."));
  EXPECT_EQ(sounds.level(), 12);
  windowLines();
  EXPECT_EQ(afterKey(']'), "Band louder. That is as loud as it goes.");
  EXPECT_THAT(windowLines(), ElementsAre("bandlevel +12 dB"));
  for (int i = 0; i < 8; ++i) engine->computerKey('[');
  spoken();
  EXPECT_EQ(afterKey('['), "Band quieter. That is as quiet as it goes.");
  EXPECT_EQ(files::readFile(home / "band-level.txt"), "-12\n");
}

TEST_F(EngineTest, ChimeAndKnockAreTimedNotesOnTheirOwnChannels) {
  using Bytes = std::vector<std::uint8_t>;
  engine->cues().chime({72, 76, 79}, 200, 0.5);
  runtime.advance(0.2);
  EXPECT_THAT(midiBackend.published, ElementsAre(Bytes{0x94, 72, 127}, Bytes{0x94, 76, 127}));
  runtime.advance(1.0);
  EXPECT_EQ(midiBackend.published.size(), 6u);
  EXPECT_TRUE(midi.sounding().empty());

  midiBackend.published.clear();
  engine->cues().knock();
  EXPECT_THAT(midiBackend.published, ElementsAre(Bytes{0x99, 77, 66}));
  runtime.advance(0.1);
  EXPECT_THAT(midiBackend.published, ElementsAre(Bytes{0x99, 77, 66}, Bytes{0x89, 77, 0}));
}

TEST_F(EngineTest, ComputerKeys) {
  engine->computerKey('T');  // upper and lower case alike
  EXPECT_EQ(engine->currentMode(), Mode::talk);
  spoken();
  engine->computerKey('0');
  EXPECT_EQ(engine->currentMode(), Mode::idle);
  spoken();

  // Voice volume moves by 0.15 and stays within 0.2 and 1.0.
  engine->computerKey('.');
  EXPECT_FLOAT_EQ(speaker.loudness, 1.0f);
  EXPECT_EQ(spokenOne(), "Voice louder.");
  for (int i = 0; i < 8; ++i) engine->computerKey(',');
  EXPECT_FLOAT_EQ(speaker.loudness, 0.2f);
  EXPECT_THAT(spoken(), Contains("Voice quieter."));

  engine->computerKey('p');
  EXPECT_TRUE(midi.alsoToPiano);
  EXPECT_EQ(spokenOne(), "Also playing through the piano.");
  engine->computerKey('P');
  EXPECT_FALSE(midi.alsoToPiano);
  EXPECT_EQ(spokenOne(), "Playing through the built-in sound only.");

  EXPECT_EQ(afterKey('v'), "No other voices.");

  // Only capital K asks for the top key; every key answers.
  EXPECT_EQ(afterKey('k'), "That key does nothing here. Press h to hear the keys.");

  EXPECT_EQ(afterKey('K'), "Press the highest key on your piano.");
  EXPECT_TRUE(engine->awaitingTopKey());

  engine->computerKey('3');
  EXPECT_THAT(firstSpoken(), ::testing::StartsWith("Twinkle Twinkle Little Star. "));
  EXPECT_EQ(engine->currentMode(), Mode::teach);
  engine->computerKey('0');
  spoken();

  // Goodbye is said before the orderly exit.
  EXPECT_THAT(afterKey('q'),
              ::testing::AnyOf("Goodbye, friend.", "See you soon.", "Until next time."));
  EXPECT_THAT(quits, ElementsAre("Q pressed"));
}

}  // namespace
}  // namespace orvo
