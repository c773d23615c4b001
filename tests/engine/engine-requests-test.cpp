#include "engine/engine-ears.h"
#include "engine/engine-fixture.h"
#include "engine/requests.h"
#include "matchers.h"

namespace orvo {
namespace {

class RequestsTest : public EngineTest {
 protected:
  int hour = 14;
  void SetUp() override {
    engine->requests().setClock([this] {
      std::tm local{};
      local.tm_hour = hour;
      local.tm_min = 5;
      return local;
    });
  }
  std::string wake() {
    engine->hear("");
    return spokenOne();
  }
};

TEST_F(RequestsTest, WakeRepliesFollowTheHourTheGapAndNeverRepeat) {
  hour = 9;
  EXPECT_EQ(wake(), "Good morning, friend.");
  runtime.advance(5.0);
  EXPECT_THAT(wake(), AnyOf("Still here, friend.", "I'm listening.", "Go ahead."));
  runtime.advance(1300.0);
  EXPECT_EQ(wake(), "Welcome back, friend.");

  restartEngine();
  SetUp();
  hour = 20;
  EXPECT_EQ(wake(), "Good evening, friend.");
  restartEngine();
  SetUp();
  hour = 14;  // the afternoon's first wake: the general list
  std::string previous = wake();
  EXPECT_THAT(previous,
              AnyOf("Yes, friend?", "I'm listening.", "Go ahead.", "At your service.",
                    "How can I help?", "What do you need?", "I'm here, friend.", "Right here."));
  for (int i = 0; i < 30; ++i) {
    runtime.advance(i % 2 ? 13.0 : 3.0);
    std::string reply = wake();
    EXPECT_NE(reply, previous);
    previous = reply;
  }
  // In a lesson the lesson waits.
  EngineTestAccess::enterLesson(*engine, 4, 1, true);
  runtime.advance(30.0);
  EXPECT_EQ(wake(), "Yes? The lesson can wait.");
}

// Its own sentence heard back the moment it ends is its voice; a second
// later the same words are the player asking again.
TEST_F(RequestsTest, ItsOwnSentenceComingBackIsAnEchoOnlyRightAfterIt) {
  EXPECT_EQ(engine->hear("band quieter"), "acted");
  EXPECT_EQ(spokenOne(), "Band quieter.");
  EXPECT_EQ(engine->hear("Band quieter."), "echo");
  EXPECT_THAT(spoken(), IsEmpty());
  runtime.advance(1.0);
  EXPECT_EQ(engine->hear("band quieter"), "acted");
  EXPECT_EQ(spokenOne(), "Band quieter.");
  EXPECT_EQ(engine->hear("stop"), "stopped");  // "stop" is never its own voice
}

TEST_F(RequestsTest, AQuestionWaits20SecondsAndAnythingElseDropsIt) {
  EXPECT_EQ(afterHearing("menu of songs"), "Did you mean, open the song menu?");
  runtime.advance(21.0);
  EXPECT_EQ(engine->hear("yes"), "not understood");  // too late
  spoken();
  engine->hear("menu of songs");
  spoken();
  // Not an answer: heard normally, question gone.
  EXPECT_EQ(afterHearing("what time is it"), "It is 2:05 PM.");
  EXPECT_EQ(engine->hear("yes"), "not understood");
}

TEST_F(RequestsTest, CasualRemarksAreLetGoAndClearRequestsStillAct) {
  EngineEars ears(*engine);
  EXPECT_EQ(ears.hear("the strings sound lovely today", true, true), "ignored");
  EXPECT_EQ(ears.hear("i wonder what is for dinner", true, false), "ignored");
  EXPECT_THAT(spoken(), IsEmpty());
  EXPECT_EQ(ears.hear("what time is it", true, true), "said");
  EXPECT_EQ(spokenOne(), "It is 2:05 PM.");
  EXPECT_FALSE(engine->casualHearing());
  // Not casual: the same remark gets an answer.
  EXPECT_EQ(ears.hear("purple monkey dishwasher", false, false), "not understood");
  EXPECT_EQ(spoken().size(), 1u);
}

TEST_F(RequestsTest, LearnedMeaningsAndMistakesAreKeptBetweenRuns) {
  engine->hear("play the green thing");
  spoken();
  EXPECT_EQ(afterHearing("thats wrong"), "Sorry about that. What did you want?");
  engine->hear("which songs");
  spoken();
  runtime.runReady();
  std::string mistakes = files::readFile(home / "mistakes.txt").value_or("");
  EXPECT_THAT(mistakes, HasSubstr("\"play the green thing\" told it was wrong"));
  EXPECT_THAT(mistakes, HasSubstr("\"play the green thing\" should have been \"which songs\""));

  restartEngine();
  EXPECT_EQ(engine->requests().learned().at("play the green thing"), "which songs");
  EXPECT_THAT(afterHearing("Play the green thing!"), HasSubstr("Hot Cross Buns"));

  // A file that is not an object of strings teaches nothing.
  for (const char* bad : {"[1, 2]", "{\"a\": 3, \"b\": [\"x\"]}", "not json at all", ""}) {
    files::writeFileAtomically(home / "learned.json", bad);
    restartEngine();
    EXPECT_TRUE(engine->requests().learned().empty()) << bad;
  }
}

TEST_F(RequestsTest, WhatIsHeardIsShownAndNumbersAreRead) {
  engine->hear("Hey, could you tell me the time please?");
  EXPECT_THAT(windowLines(), Contains("heard tell me the time please"));
  spoken();
  EXPECT_EQ(Heard("set a timer for 10 minutes").number(), 10);
  EXPECT_EQ(Heard("set a timer for twenty five minutes").number(), 25);
  EXPECT_EQ(Heard("metronome at one hundred").number(), 100);
  EXPECT_EQ(Heard("give me a minute").number(), 1);  // "a" only when nothing else
  EXPECT_EQ(Heard("the second song").number(), 2);
  EXPECT_EQ(Heard("no number here").number(), std::nullopt);
  Heard polite("Please can you play me something please");
  EXPECT_EQ(polite.text, "play me something please");
  EXPECT_TRUE(polite.starts("play me"));
  EXPECT_EQ(polite.after("play me"), "something please");
  EXPECT_TRUE(Heard("start the metronom").has("metronome"));  // one edit from a known word
  EXPECT_FALSE(Heard("start the metro").has("metronome"));
}

// The keys held at the moment of asking, whatever was let go before.
TEST_F(RequestsTest, TheHeldChordAndTheoryQuestionsAreAnswered) {
  EXPECT_EQ(heldChord(), "Hold some keys down and ask again.");
  for (int key : {62, 66, 69}) engine->noteEvent(key, 80);
  for (int key : {62, 66, 69}) engine->noteEvent(key, 0);
  for (int key : {72, 64, 67, 66}) engine->noteEvent(key, 80);
  spoken();  // the first notes at home are noticed
  EXPECT_EQ(heldChord(), "The notes are E, G flat, G, C. That is not one of the simple chords.");
  EXPECT_EQ(afterCommand("speak What is the relative minor of C major?"),
            "The relative minor of C major is A minor. They share the same notes.");
  EXPECT_EQ(afterCommand("say open the pod bay doors"),
            "I cannot find an app called pod bay doors on this computer.");
}

}  // namespace
}  // namespace orvo
