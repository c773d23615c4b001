#include "sound/speaker.h"

#include <gmock/gmock.h>

#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/virtual-runtime.h"
#include "temp-folder.h"

namespace orvo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A synthesiser on the virtual clock: a sentence starts 0.1 s after it is
// asked for and lasts `seconds`, unless `starts` is false.
struct FakeSynth final : SpeechSynth {
  explicit FakeSynth(VirtualRuntime& runtime, std::vector<std::string>& events)
      : runtime(runtime), events(events) {}
  VirtualRuntime& runtime;
  std::vector<std::string>& events;
  Delegate* delegate = nullptr;
  bool starts = true;
  bool present = true;
  double seconds = 2.0;
  int stops = 0;
  std::vector<SynthVoice> installed;
  std::vector<SynthUtterance> spoken;

  void setDelegate(Delegate* d) override { delegate = d; }
  bool available() override { return present; }
  std::vector<SynthVoice> voices() override { return installed; }
  void speak(const SynthUtterance& utterance) override {
    spoken.push_back(utterance);
    events.push_back("speak " + utterance.text);
    if (!starts) return;
    auto id = utterance.id;
    runtime.after(0.1, [this, id] { delegate->synthDidStart(id); });
    runtime.after(seconds, [this, id] { delegate->synthDidFinish(id); });
  }
  void stopSpeaking() override { ++stops; }
};

struct FakeTool final : SpeechTool {
  std::vector<std::string> spoken;
  Result result = Result::spoken;
  int stops = 0;
  Result speak(const std::string& text, float) override {
    spoken.push_back(text);
    return result;
  }
  void stop() override { ++stops; }
};

class SpeakerTest : public ::testing::Test {
 protected:
  testing::TempFolder home;
  VirtualRuntime runtime;
  Opt opt;
  FileStore store{home.path(), runtime, runtime.serial("orvo.store")};
  std::vector<std::string> events;  // window lines and synthesiser calls, in order
  std::vector<std::string> printed;
  FakeSynth synth{runtime, events};
  FakeTool tool;
  std::unique_ptr<Speaker> speaker = make();

  std::unique_ptr<Speaker> make() {
    return std::make_unique<Speaker>(Speaker::Parts{
        .runtime = runtime,
        .opt = opt,
        .synth = synth,
        .tool = tool,
        .ui = [this](const std::string& line) { events.push_back("@" + line); },
        .uiOn = true,
        .print = [this](const std::string& text) { printed.push_back(text); },
        .store = store,
    });
  }
};

TEST_F(SpeakerTest, SpeaksInOrderWithTheCaptionBeforeTheSound) {
  double start = runtime.now();
  speaker->say("Hello.");
  speaker->say("Again.");
  EXPECT_THAT(events, ElementsAre("@say Hello.", "speak Hello.", "@start", "@say Again.",
                                  "speak Again.", "@start"));
  EXPECT_NEAR(runtime.now() - start, 4.0, 0.01);  // each call waited for its sentence
  EXPECT_THAT(tool.spoken, IsEmpty());
  EXPECT_THAT(printed, IsEmpty());
}

TEST_F(SpeakerTest, StopReleasesALongSentenceAtOnce) {
  synth.seconds = 60.0;
  runtime.after(1.0, [this] { speaker->stop(); });
  double start = runtime.now();
  speaker->say("A very long explanation.");
  EXPECT_NEAR(runtime.now() - start, 1.0, 0.01);
  EXPECT_EQ(tool.stops, 1);
  runtime.runReady();
  EXPECT_EQ(synth.stops, 1);  // the synthesiser is stopped from the main queue
}

TEST_F(SpeakerTest, ASynthesiserThatNeverStartsIsReplacedByTheToolForGood) {
  synth.starts = false;
  double start = runtime.now();
  speaker->say("First.");
  EXPECT_NEAR(runtime.now() - start, 3.0, 0.01);
  EXPECT_TRUE(speaker->usingTool());
  EXPECT_THAT(tool.spoken, ElementsAre("First."));

  // From now on no more waiting on the synthesiser.
  start = runtime.now();
  speaker->say("Second.");
  EXPECT_NEAR(runtime.now() - start, 0.0, 0.001);
  EXPECT_EQ(synth.spoken.size(), 1u);
  EXPECT_THAT(tool.spoken, ElementsAre("First.", "Second."));

  // The tool failing too leaves the words on screen.
  tool.result = SpeechTool::Result::cannotSpeak;
  speaker->say("Third.");
  EXPECT_THAT(printed, ElementsAre("Third."));
}

TEST_F(SpeakerTest, AStartedSynthesiserIsWaitedOnNotReplaced) {
  speaker->say("Works.");
  synth.starts = false;  // a later sentence that is slow to begin
  runtime.after(10.0, [this] { speaker->stop(); });
  speaker->say("Slow.");
  EXPECT_FALSE(speaker->usingTool());
  EXPECT_THAT(tool.spoken, IsEmpty());
}

TEST_F(SpeakerTest, TextModeAndMissingSynthesiser) {
  opt.textMode = true;
  speaker->say("Printed.");
  EXPECT_THAT(printed, ElementsAre("Printed."));
  EXPECT_THAT(events, IsEmpty());

  opt.textMode = false;
  synth.present = false;
  speaker->say("-5 degrees outside.");
  EXPECT_THAT(tool.spoken, ElementsAre("-5 degrees outside."));
  EXPECT_THAT(events, ElementsAre("@say -5 degrees outside."));
}

TEST_F(SpeakerTest, VoicesAreEnglishBestFirstAndTheChoiceIsKept) {
  EXPECT_EQ(speaker->nextVoice(), "No other voices");
  synth.installed = {{"fr", "French", "fr", 0},
                     {"gb", "British", "en-GB", 0},
                     {"us", "American", "en-US", 0},
                     {"best", "Premium", "en", 2}};
  speaker.reset();  // one speaker at a time is the synthesiser's delegate
  speaker = make();
  EXPECT_EQ(speaker->voiceName(), "");  // the player's own default until one is chosen
  EXPECT_EQ(speaker->nextVoice(), "Premium");
  EXPECT_EQ(speaker->nextVoice(), "American");
  EXPECT_EQ(speaker->nextVoice(), "British");
  EXPECT_EQ(speaker->nextVoice(), "Premium");
  EXPECT_EQ(speaker->nextVoice(), "American");
  EXPECT_EQ(events.back(), "@voice American");
  runtime.runReady();  // the store writes on its own queue
  EXPECT_EQ(files::trim(files::readFile(home / "voice.txt").value_or("")), "us");

  speaker.reset();
  speaker = make();
  EXPECT_EQ(speaker->voiceName(), "American");
  speaker->say("Hi.");
  EXPECT_EQ(synth.spoken.back().voiceId, "us");
}

}  // namespace
}  // namespace orvo
