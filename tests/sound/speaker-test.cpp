#include "sound/speaker.h"

#include <sstream>

#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "temp-folder.h"

namespace orvo {
namespace {

// A synthesiser on the virtual clock: a sentence starts 0.1 s after it is
// asked for, reports its words 0.3 s apart when `marks` is set, and finishes
// after `seconds`. `trouble` breaks it off after `wordsBeforeTrouble` words:
// the service dies (the link drops) or hangs (nothing more is heard).
struct FakeSynth final : SpeechSynth {
  enum class Trouble { none, dies, hangs };
  explicit FakeSynth(VirtualRuntime& runtime, std::vector<std::string>& events)
      : runtime(runtime), events(events) {}
  VirtualRuntime& runtime;
  std::vector<std::string>& events;
  Delegate* delegate = nullptr;
  bool starts = true;
  bool accepts = true;
  bool linked = false;
  bool canConnect = true;
  bool marks = false;
  Trouble trouble = Trouble::none;
  std::size_t wordsBeforeTrouble = 0;
  double seconds = 2.0;
  int stops = 0;
  int connects = 0;
  std::vector<SynthVoice> installed;
  std::vector<SynthUtterance> spoken;

  void setDelegate(Delegate* d) override { delegate = d; }
  bool connect() override {
    ++connects;
    linked = canConnect;
    return linked;
  }
  bool connected() override { return linked; }
  std::vector<SynthVoice> voices() override { return installed; }
  bool speak(const SynthUtterance& utterance) override {
    spoken.push_back(utterance);
    events.push_back("speak " + utterance.text);
    if (!accepts || !linked) return false;
    if (!starts) return true;
    auto id = utterance.id;
    auto broken = std::make_shared<bool>(false);
    runtime.after(0.1, [this, id] { delegate->synthDidStart(id); });
    std::istringstream in(utterance.text);
    std::size_t i = 0;
    for (std::string word; marks && in >> word; ++i) {
      runtime.after(0.1 + 0.3 * i, [this, id, word, i, broken] {
        if (*broken) return;
        if (trouble != Trouble::none && i == wordsBeforeTrouble) {
          *broken = true;
          if (trouble == Trouble::dies) linked = false;
          return;
        }
        delegate->synthWillSpeakWord(id, word);
      });
    }
    runtime.after(seconds, [this, id, broken] {
      if (!*broken) delegate->synthDidFinish(id);
    });
    return true;
  }
  void stopSpeaking() override { ++stops; }
};

struct FakeTool final : SpeechTool {
  std::vector<std::string> spoken;
  Result result = Result::spoken;
  int stops = 0;
  Result speak(const std::string& text, float, const std::function<void()>& began) override {
    spoken.push_back(text);
    if (result != Result::cannotSpeak && began) began();
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
  std::vector<std::string> logged;
  bool output = true;
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
        .log = [this](const std::string& line) { logged.push_back(line); },
        .outputPresent = [this] { return output; },
        .language = "en-GB",
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

TEST_F(SpeakerTest, AServiceThatNeverBeginsIsReplacedByTheToolUntilItAnswersAgain) {
  synth.starts = false;
  double start = runtime.now();
  speaker->say("First.");
  EXPECT_NEAR(runtime.now() - start, 3.0, 0.3);
  EXPECT_TRUE(speaker->usingTool());
  EXPECT_THAT(tool.spoken, ElementsAre("First."));
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_THAT(logged[0], HasSubstr("espeak-ng speaks from now on"));
  runtime.runReady();
  EXPECT_EQ(synth.connects, 2);  // the first link, then opened again once

  // No more waiting on the service in the meantime; the window still hears
  // when the tool's sound begins.
  start = runtime.now();
  events.clear();
  speaker->say("Second.");
  EXPECT_NEAR(runtime.now() - start, 0.0, 0.001);
  EXPECT_THAT(tool.spoken, ElementsAre("First.", "Second."));
  EXPECT_THAT(events, ElementsAre("@say Second.", "@start"));

  // A test sentence that does not begin either keeps the tool, and waits longer.
  runtime.advance(Speaker::firstRetry);
  speaker->say("Third.");
  runtime.advance(Speaker::beginLimit + 0.5);
  EXPECT_TRUE(speaker->usingTool());
  ASSERT_EQ(synth.spoken.size(), 2u);
  EXPECT_EQ(synth.spoken[1].volume, 0.0f);  // the test sentence is never heard
  runtime.advance(Speaker::firstRetry);
  speaker->say("Fourth.");
  runtime.runReady();
  EXPECT_EQ(synth.spoken.size(), 2u);  // not tried again so soon

  // The service answers again: the next sentence is its own.
  synth.starts = true;
  runtime.advance(Speaker::firstRetry * 2);
  speaker->say("Fifth.");
  runtime.advance(1.0);
  EXPECT_FALSE(speaker->usingTool());
  EXPECT_THAT(logged.back(), HasSubstr("answers again"));
  speaker->say("Sixth.");
  EXPECT_EQ(synth.spoken.back().text, "Sixth.");
  EXPECT_THAT(tool.spoken, ElementsAre("First.", "Second.", "Third.", "Fourth.", "Fifth."));

  // The tool failing too leaves the words on screen.
  synth.accepts = false;
  tool.result = SpeechTool::Result::cannotSpeak;
  speaker->say("Seventh.");
  EXPECT_THAT(printed, ElementsAre("Seventh."));
}

TEST_F(SpeakerTest, ASentenceThatBreaksOffIsFinishedByTheToolFromItsWord) {
  synth.marks = true;
  synth.seconds = 3.0;
  speaker->say("One two three.");  // the service reports words
  EXPECT_THAT(events, Contains("@word three."));

  // The service dies after two words: the tool says the rest at once.
  synth.trouble = FakeSynth::Trouble::dies;
  synth.wordsBeforeTrouble = 2;
  double start = runtime.now();
  speaker->say("Play the scale of C major.");
  EXPECT_LT(runtime.now() - start, 1.2);
  EXPECT_THAT(tool.spoken, ElementsAre("the scale of C major."));
  EXPECT_THAT(logged.back(), HasSubstr("went away"));
  runtime.runReady();
  EXPECT_TRUE(synth.linked);  // opened again (the service is started anew)

  // A service that hangs part way: the rest is the tool's after 4 s of nothing.
  runtime.runReady();  // nothing of the old speaker's is left on its queue
  speaker.reset();
  speaker = make();
  tool.spoken.clear();
  synth.trouble = FakeSynth::Trouble::hangs;
  synth.wordsBeforeTrouble = 1;
  runtime.advance(1.0);
  speaker->say("One two three.");  // learns that words are reported
  EXPECT_THAT(tool.spoken, ElementsAre("One two three."));
  EXPECT_THAT(logged.back(), HasSubstr("stopped part way"));

  // A service that refuses a sentence costs no wait at all.
  runtime.runReady();  // nothing of the old speaker's is left on its queue
  speaker.reset();
  speaker = make();
  tool.spoken.clear();
  synth.accepts = false;
  start = runtime.now();
  speaker->say("Refused.");
  EXPECT_LT(runtime.now() - start, 0.3);
  EXPECT_THAT(tool.spoken, ElementsAre("Refused."));
}

TEST_F(SpeakerTest, TextModeAndNoSoundOutputPrint) {
  opt.textMode = true;
  speaker->say("Printed.");
  EXPECT_THAT(printed, ElementsAre("Printed."));
  EXPECT_THAT(events, IsEmpty());

  // No sound output yet: the caption, then the words printed; nothing waits.
  opt.textMode = false;
  output = false;
  speaker->say("Nobody hears this.");
  EXPECT_THAT(printed, ElementsAre("Printed.", "Nobody hears this."));
  EXPECT_THAT(events, ElementsAre("@say Nobody hears this."));
  EXPECT_EQ(synth.connects, 0);

  // It appears: speech starts.
  output = true;
  synth.accepts = false;
  speaker->say("-5 degrees outside.");
  EXPECT_EQ(synth.connects, 1);
  EXPECT_THAT(tool.spoken, ElementsAre("-5 degrees outside."));
}

TEST(SpeakerVoices, ThePlayersLanguageComesFirstOneVoicePerRegionNamedAsSaid) {
  EXPECT_EQ(Speaker::spokenVoiceName("English (America)"), "American English");
  EXPECT_EQ(Speaker::spokenVoiceName("English (Great Britain)+Adam"), "British English, Adam");
  EXPECT_EQ(Speaker::spokenVoiceName("English (America, New York City)"), "New York City English");
  EXPECT_EQ(Speaker::spokenVoiceName("English (Lancaster)+Alex"), "Lancaster English, Alex");
  EXPECT_EQ(Speaker::spokenVoiceName("Bob"), "Bob");

  std::vector<SynthVoice> all = {
      {"French (France)", "French (France)", "fr-FR", 0},
      {"English (America)+Adam", "English (America)+Adam", "en-US", 0},
      {"English (America)", "English (America)", "en-US", 0},
      {"English (Great Britain)+Zed", "English (Great Britain)+Zed", "en-GB", 0},
      {"English (Great Britain)+Adam", "English (Great Britain)+Adam", "en-GB", 0},
      {"English (Great Britain)", "English (Great Britain)", "en-GB", 0},
      {"English (Scotland)+Adam", "English (Scotland)+Adam", "en-GB-SCOTLAND", 0},
      {"eloquence-en", "Eloquence", "en-US", 0},
      {"Engish typo", "Bengali", "bn", 0}};
  std::vector<std::string> names;
  for (const auto& voice : Speaker::voiceChoices(all, "en-GB")) names.push_back(voice.name);
  EXPECT_THAT(names, ElementsAre("Your own voice", "British English", "American English",
                                 "Scottish English, Adam", "British English, Adam",
                                 "British English, Zed", "American English, Adam"));
}

TEST_F(SpeakerTest, TheVoiceListComesLaterAndTheChoiceIsKept) {
  EXPECT_THAT(speaker->nextVoice(), HasSubstr("still loading"));
  speaker->loadVoices(5.0);
  runtime.runReady();
  EXPECT_EQ(speaker->nextVoice(), "No other voices");

  synth.installed = {{"English (America)", "English (America)", "en-US", 0},
                     {"English (Great Britain)", "English (Great Britain)", "en-GB", 0}};
  runtime.runReady();
  speaker.reset();  // one speaker at a time is the synthesiser's delegate
  speaker = make();
  speaker->loadVoices(5.0);
  runtime.runReady();
  EXPECT_EQ(speaker->voiceName(), "");  // the player's own default until one is chosen
  EXPECT_EQ(speaker->nextVoice(), "British English");
  EXPECT_EQ(speaker->nextVoice(), "American English");
  EXPECT_EQ(events.back(), "@voice American English");
  EXPECT_EQ(speaker->nextVoice(), "Your own voice");
  EXPECT_EQ(events.back(), "@voice default");
  EXPECT_EQ(speaker->nextVoice(), "British English");
  runtime.runReady();  // the store writes on its own queue
  EXPECT_EQ(files::trim(files::readFile(home / "voice.txt").value_or("")),
            "English (Great Britain)");

  // Next time the choice speaks at once, before the list has come.
  runtime.runReady();
  speaker.reset();
  speaker = make();
  EXPECT_EQ(speaker->voiceName(), "British English");
  speaker->say("Hi.");
  EXPECT_EQ(synth.spoken.back().voiceId, "English (Great Britain)");
}

TEST_F(SpeakerTest, AVoiceListThatNeverComesHoldsNothingUp) {
  struct FrozenList final : SpeechSynth {
    VirtualRuntime& runtime;
    explicit FrozenList(VirtualRuntime& r) : runtime(r) {}
    void setDelegate(Delegate*) override {}
    bool connect() override { return false; }
    bool connected() override { return false; }
    std::vector<SynthVoice> voices() override {
      runtime.sleep(30.0);  // a frozen speech module
      return {};
    }
    bool speak(const SynthUtterance&) override { return false; }
    void stopSpeaking() override {}
  } frozen{runtime};
  speaker.reset();
  Speaker waiting({.runtime = runtime,
                   .opt = opt,
                   .synth = frozen,
                   .tool = tool,
                   .ui = [](const std::string&) {},
                   .print = [](const std::string&) {},
                   .store = store,
                   .log = [this](const std::string& line) { logged.push_back(line); }});
  waiting.loadVoices(5.0);
  waiting.say("Still heard.");
  EXPECT_THAT(tool.spoken, ElementsAre("Still heard."));
  runtime.runReady();
  EXPECT_THAT(logged, Contains(HasSubstr("did not come within 5 s")));
}

}  // namespace
}  // namespace orvo
