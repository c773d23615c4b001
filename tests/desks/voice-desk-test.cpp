// The talk about the natural voice, with a pretend voice and installer.

#include "desks/voice-desk.h"
#include "engine/engine-fixture.h"
#include "matchers.h"

namespace orvo {
namespace {

class VoiceTalkTest : public EngineTest {
 protected:
  bool installed = false;
  bool installing = false;
  bool ready = false;
  int installs = 0;
  int removals = 0;
  std::vector<std::string> auditioned;  // id: sentence
  std::string mute;                     // the voice that cannot speak

  const std::string offer =
      "The natural voice is a free download of about 400 megabytes, and uses about 600 on your "
      "disk. It runs entirely on this computer. Shall I get it? Say yes or no.";

  VoiceTalkTest() {
    voiceHooks.installed = [this] { return installed; };
    voiceHooks.installing = [this] { return installing; };
    voiceHooks.install = [this] {
      ++installs;
      installed = true;
      return true;
    };
    voiceHooks.remove = [this] {
      ++removals;
      installed = false;
      return true;
    };
    voiceHooks.ready = [this] { return ready; };
    voiceHooks.name = [] { return std::string("George"); };
    voiceHooks.offered = [] {
      return std::vector<std::pair<std::string, std::string>>{{"bm_george", "George"},
                                                              {"bf_emma", "Emma"}};
    };
    voiceHooks.sayAs = [this](const std::string& id, const std::string& text) {
      auditioned.push_back(id + ": " + text);
      return id != mute;
    };
    restartEngine();
    spoken();
  }
  bool declinedFile() {
    runtime.runReady();
    return std::filesystem::exists(home / "voice-declined.txt");
  }
};

TEST_F(VoiceTalkTest, TheOfferTakesAYesOrANoAndANoIsKept) {
  EXPECT_EQ(engine->hear("install the natural voice"), "asked");
  EXPECT_EQ(spokenOne(), offer);
  EXPECT_EQ(engine->hear("no"), "declined");
  EXPECT_EQ(spokenOne(),
            "Stopped. I'll keep the computer's own voice. If you change your mind, say install the "
            "natural voice.");
  EXPECT_TRUE(declinedFile());
  EXPECT_EQ(installs, 0);

  // Declined, a profile that asks for the voice does not fetch it at start.
  Profile wants;
  wants.neuralVoice = true;
  EXPECT_EQ(engine->voiceDesk().fetchAtStart(wants), std::nullopt);
  std::filesystem::remove(home / "voice-declined.txt");
  restartEngine();
  EXPECT_TRUE(engine->voiceDesk().fetchAtStart(wants));

  // Something else after the question drops it and is heard as itself.
  EXPECT_EQ(afterHearing("get the natural voice please"), offer);
  engine->hear("band quieter");
  spoken();
  EXPECT_NE(engine->hear("yes"), "installing");
  spoken();

  EXPECT_EQ(afterHearing("can you download the natural voice"), offer);
  EXPECT_EQ(engine->hear("yes please"), "installing");
  EXPECT_EQ(spokenOne(),
            "Starting now. Carry on with whatever you like. I'll tell you when each step is done.");
  EXPECT_EQ(installs, 1);

  installed = false;
  installing = true;
  for (const char* asked : {"install the natural voice", "is the natural voice installed"}) {
    EXPECT_EQ(engine->hear(asked), "installing") << asked;
    EXPECT_EQ(spokenOne(), "It's already downloading. I'll tell you the moment it's ready.");
  }
  installing = false;
  installed = true;
  EXPECT_EQ(afterHearing("do you have the natural voice"),
            "Yes, the natural voice is installed. I'm speaking as George.");
  EXPECT_EQ(afterHearing("install the natural voice"),
            "The natural voice is already installed. Say next voice to hear the others, or "
            "audition the voices.");
  installed = false;
  engine->hear("is the natural voice installed");
  const std::string notYet = spokenOne();
  EXPECT_TRUE(notYet == "The natural voice isn't installed." ||
              notYet == "Not yet. Say, install the natural voice, and I'll download it. It's free.")
      << notYet;

  // The typed line from the window's own question.
  engine->appCommand("declined");
  EXPECT_TRUE(declinedFile());
  EXPECT_EQ(installs, 1);
}

TEST_F(VoiceTalkTest, TheVoicesAuditionAndTheVoiceIsRemovedOnAYes) {
  EXPECT_EQ(afterHearing("audition the voices"), "The natural voice isn't installed.");
  installed = true;
  EXPECT_EQ(afterHearing("audition the voices"),
            "The natural voice is still starting. Ask me again in a moment.");
  ready = true;
  mute = "bf_emma";
  EXPECT_EQ(engine->hear("audition the voices"), "audition");
  EXPECT_THAT(spoken(),
              ElementsAre("Emma could not speak.", "Say next voice to choose one of them."));
  EXPECT_THAT(auditioned, ElementsAre("bm_george: This is George.", "bf_emma: This is Emma."));
  // A press stops the audition before the next voice.
  auditioned.clear();
  speaker.whileSaying = [this] { engine->cutIn(); };
  mute = "bm_george";
  engine->hear("audition the voices");
  spoken();
  EXPECT_THAT(auditioned, ElementsAre("bm_george: This is George."));
  speaker.whileSaying = nullptr;

  EXPECT_EQ(engine->hear("remove the natural voice"), "asked");
  EXPECT_EQ(spokenOne(), "Remove the natural voice and free about 600 megabytes? Say yes or no.");
  EXPECT_EQ(afterHearing("no"), "Okay, I'll leave it.");
  EXPECT_EQ(removals, 0);
  engine->hear("uninstall the natural voice");
  spoken();
  EXPECT_EQ(engine->hear("yes"), "removing");
  EXPECT_EQ(
      spokenOne(),
      "The natural voice is removed. I'm back to the computer's own voice after the next restart.");
  EXPECT_EQ(removals, 1);
  EXPECT_EQ(afterHearing("delete the natural voice"), "The natural voice isn't installed.");
  // Other talk of voices is left to the rest.
  EXPECT_EQ(engine->voiceDesk().hear(Heard("next voice")), std::nullopt);
  EXPECT_EQ(engine->voiceDesk().hear(Heard("switch to a different voice")), std::nullopt);
}

TEST_F(VoiceTalkTest, AProfileThatAsksForTheVoiceFetchesItAfterTheGreeting) {
  files::writeFileAtomically(home / "profile.json", R"({"userName":"Sam","neuralVoice":true})");
  restartEngine();
  engine->greet("Piano connected.", false);
  const auto said = spoken();
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said.back(),
            "I'm fetching my natural voice in the background. It's a one time download, and I'll "
            "switch to it the moment it's ready.");
  EXPECT_EQ(installs, 1);
  // Once it is there, the next start says nothing of it.
  restartEngine();
  engine->greet("Piano connected.", false);
  EXPECT_THAT(spoken(), ::testing::Not(Contains(said.back())));
  EXPECT_EQ(installs, 1);
}

TEST_F(VoiceTalkTest, TheGreetingWaitsUpToTwoSecondsForTheVoiceComingUp) {
  // Up after half a second: greeted then, in the natural voice; never up:
  // the platform voice greets after two seconds.
  for (double upAfter : {0.5, 60.0}) {
    const double start = runtime.now();
    voiceHooks.coming = [this, start, upAfter] { return runtime.now() - start < upAfter; };
    std::vector<double> at;
    speaker.whileSaying = [&] { at.push_back(runtime.now() - start); };
    restartEngine();
    engine->greet("Piano connected.", false);
    runtime.advance(3.0);
    ASSERT_FALSE(at.empty());
    EXPECT_NEAR(at.front(), std::min(upAfter, 2.0), 0.15) << upAfter;
    speaker.whileSaying = nullptr;
  }
}

}  // namespace
}  // namespace orvo
