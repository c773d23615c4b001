// Talking with the AI on the virtual clock, with a double for the model: a
// sentence no rule understood goes to it, fillers cover a slow answer only, a
// press silences them, and a "DO: " answer is performed through the rules
// and learned, or said to be beyond us, and never sent back.

#include "rooms/talk/ai-talk.h"
#include "engine/engine-fixture.h"
#include "matchers.h"
#include "voice/ai.h"

namespace orvo {
namespace {

struct FakeAssistant final : Assistant {
  explicit FakeAssistant(VirtualRuntime& runtime) : runtime(runtime) {}
  VirtualRuntime& runtime;
  bool isReady = true, present = true, out = false;
  double seconds = 0.2;             // how long an answer takes
  std::function<void()> meanwhile;  // runs half way through the wait
  std::map<std::string, std::string> replies;
  std::vector<std::pair<std::string, std::string>> asked, askedOnce;
  bool ready() override { return isReady; }
  bool toolPresent() override { return present; }
  bool signedOut() override { return out; }
  std::string ask(const std::string& question, const std::string& state) override {
    asked.emplace_back(question, state);
    runtime.sleep(seconds / 2);
    if (meanwhile) meanwhile();
    runtime.sleep(seconds / 2);
    auto found = replies.find(question);
    return found == replies.end() ? "A fine question." : found->second;
  }
  std::string askOnce(const std::string& question, const std::string& context) override {
    askedOnce.emplace_back(question, context);
    return "It climbs nicely. Try it in minor.";
  }
};

class AiTest : public EngineTest {
 protected:
  AiTest() {
    assistant = &fake;
    restartEngine();
  }
  FakeAssistant fake{runtime};
  void composeEightNotes() {
    pressUnchecked(keys.compose);
    for (int i = 0; i < 8; ++i) {
      engine->noteEvent(60 + (i % 4) * 2, 80);
      runtime.advance(0.3);
      engine->noteEvent(60 + (i % 4) * 2, 0);
      runtime.advance(0.1);
    }
  }
  std::string mistakes() { return files::readFile(home / "mistakes.txt").value_or(""); }
};

TEST_F(AiTest, AQuickAnswerIsSpokenWithoutAFillerAndKept) {
  engine->hear("what makes a melody memorable");
  EXPECT_THAT(spoken(), ElementsAre("A fine question."));
  ASSERT_EQ(fake.asked.size(), 1u);
  EXPECT_EQ(fake.asked[0].first, "what makes a melody memorable");
  EXPECT_THAT(fake.asked[0].second, HasSubstr("REAPER is"));
  EXPECT_THAT(engine->aiTalk().conversation(),
              ElementsAre("You: what makes a melody memorable", "A fine question."));
  EXPECT_THAT(logText(), HasSubstr("the AI explained"));
}

TEST_F(AiTest, ASlowAnswerGetsOneFillerAndALookupGetsItSooner) {
  fake.seconds = 6.0;
  engine->hear("what makes a melody memorable");
  auto said = spoken();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_THAT(said[0], AnyOf("Let me think.", "One moment.", "Thinking."));
  EXPECT_EQ(said[1], "A fine question.");

  fake.seconds = 3.0;  // past 1.3 s, short of 4.5 s
  engine->hear("who won the cup final yesterday");
  said = spoken();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_THAT(said[0],
              AnyOf("Let me look that up.", "Give me a moment, I'm checking.", "Looking into it."));
  fake.seconds = 3.0;
  engine->hear("what makes a melody memorable again");
  EXPECT_THAT(spoken(), ElementsAre("A fine question.")) << "no filler before 4.5 s";
}

TEST_F(AiTest, APressWhileWaitingSilencesTheFillerAndTheAnswer) {
  fake.seconds = 8.0;
  fake.meanwhile = [this] { engine->command(engine->buttonKeys().pause); };
  engine->hear("what makes a melody memorable");
  for (const auto& line : spoken()) {
    EXPECT_THAT(line, ::testing::Not(
                          AnyOf("Let me think.", "One moment.", "Thinking.", "A fine question.")));
  }
}

TEST_F(AiTest, ACommandIsPerformedThroughTheRulesAndLearned) {
  fake.replies["do the thing with the letters"] = "DO: \"large captions.\"";
  engine->hear("do the thing with the letters");
  EXPECT_THAT(spoken(), Contains("Large captions on."));
  EXPECT_THAT(windowLines(), Contains("access large 1"));
  EXPECT_THAT(mistakes(), HasSubstr("\"do the thing with the letters\" meant large captions"));
  // Next time the rules know it: the model is not asked again.
  engine->hear("do the thing with the letters");
  EXPECT_THAT(spoken(), Contains("Large captions on."));
  EXPECT_EQ(fake.asked.size(), 1u);
}

TEST_F(AiTest, ACommandTheRulesCannotDoIsSaidToBeBeyondUsAndNeverSentBack) {
  fake.replies["take me to the moon"] = "DO: fly me to the moon";
  fake.replies["zorb the blorb"] = "DO: show me the calendar";
  fake.replies["hmm"] = "DO:";
  for (const char* question : {"take me to the moon", "zorb the blorb", "hmm"}) {
    engine->hear(question);
    EXPECT_THAT(spoken(),
                ElementsAre(AnyOf("I know what you're after, but I can't do that one yet.",
                                  "That's beyond me for now, sorry.")))
        << question;
  }
  EXPECT_EQ(fake.asked.size(), 3u) << "each sent once, none sent back";
  EXPECT_THAT(mistakes(),
              HasSubstr("the AI named something the app could not do: fly me to the moon"));
  EXPECT_THAT(mistakes(),
              HasSubstr("the AI named something the app could not do: show me the calendar"));
}

TEST_F(AiTest, NoAnswerAndNoModelAndNotSignedInEachHaveTheirSentence) {
  fake.replies["hello out there"] = "";
  engine->hear("hello out there");
  EXPECT_THAT(spoken(), ElementsAre(AnyOf("Sorry, I didn't catch what you wanted there.",
                                          "I'm not sure what you meant. Say it another way?")));
  fake.isReady = false;
  fake.out = true;
  engine->hear("zxcv qwerty");
  EXPECT_THAT(spoken(), ElementsAre(ai::notSignedIn()));
  fake.present = false;
  engine->hear("zxcv qwerty");
  EXPECT_THAT(spoken(), ElementsAre(StartsWith("I didn't recognise that one.")));
}

TEST_F(AiTest, TheNotesKeyTwiceAsksForThoughtsAndTypedQuestionsAreAsked) {
  composeEightNotes();
  press(keys.notes);
  const std::string summary = spoken().at(0);
  runtime.advance(0.3);
  press(keys.notes);
  EXPECT_THAT(spoken(), ElementsAre("It climbs nicely. Try it in minor."));
  ASSERT_EQ(fake.askedOnce.size(), 1u);
  EXPECT_EQ(fake.askedOnce[0].first,
            "Here is what I just played: " + summary +
                " Tell me what stands out musically about it, in the feeling it creates, and "
                "give me one concrete idea for where to take it next. Three sentences at most.");
  EXPECT_THAT(fake.askedOnce[0].second, HasSubstr("Right now: composition mode."));

  // Typed: the prompt, the keys, Delete, Return.
  {
    std::lock_guard guard(engine->lock);
    engine->aiTalk().startAsk();
  }
  EXPECT_TRUE(engine->typingQuestion());
  for (unsigned char byte : std::string("whyy\x7f?\r")) engine->askKey(byte);
  EXPECT_FALSE(engine->typingQuestion());
  EXPECT_THAT(spoken(), ElementsAre("A fine question."));
  EXPECT_EQ(fake.asked.back().first, "why");
  auto shown = windowLines();
  EXPECT_THAT(shown, Contains("typing why"));
  EXPECT_THAT(lines, ::testing::IsEmpty());

  // A request typed there is heard by the request rules, as if said; the AI never hears it.
  const std::size_t asked = fake.asked.size();
  {
    std::lock_guard guard(engine->lock);
    engine->aiTalk().startAsk();
  }
  for (unsigned char byte : std::string("what can you do\r")) engine->askKey(byte);
  EXPECT_THAT(spoken(), ElementsAre(StartsWith("You can say things like")));
  EXPECT_EQ(fake.asked.size(), asked);
}

TEST_F(AiTest, ARemarkComesAfterPlayingOnlyOnceAndOnlyInComposition) {
  composeEightNotes();
  {
    std::lock_guard guard(engine->lock);
    engine->aiTalk().armRemark();
    runtime.advance(2.0);
    engine->aiTalk().armRemark();  // more playing: only the later one speaks
  }
  runtime.advance(3.0);
  EXPECT_TRUE(spoken().empty());
  runtime.advance(2.0);
  EXPECT_THAT(spoken(), ElementsAre(StartsWith("That was in ")));
  {
    std::lock_guard guard(engine->lock);
    engine->aiTalk().armRemark();
  }
  pressUnchecked(keys.home);
  runtime.advance(5.0);
  EXPECT_TRUE(spoken().empty()) << "composition was left";
}

TEST(AiWords, LookingUpIsForFactsThatChange) {
  EXPECT_TRUE(AiTalk::needsLookingUp("who won the world cup"));
  EXPECT_TRUE(AiTalk::needsLookingUp("what is the weather tomorrow"));
  EXPECT_TRUE(AiTalk::needsLookingUp("can you look up the opening hours"));
  EXPECT_FALSE(AiTalk::needsLookingUp("what makes a melody sad"));
  EXPECT_FALSE(AiTalk::needsLookingUp("whose idea was the blues scale"));
  EXPECT_EQ(AiTalk::requestOf("DO: `play me something sad.`"), "play me something sad");
  EXPECT_EQ(AiTalk::requestOf("DO: *'large captions'*!"), "large captions'*!");
  EXPECT_EQ(AiTalk::requestOf("DO:   "), "");
}

}  // namespace
}  // namespace orvo
