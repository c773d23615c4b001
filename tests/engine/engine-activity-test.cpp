#include <algorithm>
#include <condition_variable>
#include <future>
#include <random>
#include <thread>

#include "diagnostics/trace-world.h"
#include "doubles/memory-store.h"
#include "engine/engine-fixture.h"
#include "matchers.h"
#include "platform/speech/speech-synth.h"
#include "platform/speech/speech-tool.h"
#include "platform/thread-runtime.h"
#include "sound/speaker.h"

namespace orvo {
namespace {

// The synthesiser is driven from the speech queue: it finishes before the
// test's synthesiser goes away, and then the main loop stops.
void finishSpeechThenStop(ThreadRuntime& runtime, std::thread& mainLoop) {
  std::promise<void> drained;
  runtime.serial("orvo.speech").post([&] { drained.set_value(); });
  drained.get_future().wait_for(std::chrono::seconds(5));
  runtime.stopMainLoop();
  mainLoop.join();
}

// An engine of its own on real threads, with the speaker a test brings.
struct StandaloneEngine {
  StandaloneEngine(Runtime& runtime, SpeechOutput& speaker)
      : world({.opt = {}, .speaker = &speaker, .realRuntime = &runtime}) {}
  TraceWorld world;
  Engine& engine = world.engine();
  MidiIO& midi = world.midi();
};

TEST_F(EngineTest, AnOlderActivityNeverSpeaksAfterANewerOneStarts) {
  engine->run([this](int gen) {
    engine->say("first", gen);
    engine->say("second", gen);
  });
  int stopsBefore = speaker.stops;
  int newer = engine->run([this](int gen) { engine->say("newer", gen); });
  EXPECT_EQ(speaker.stops, stopsBefore + 1);  // starting an activity cuts speech off
  EXPECT_THAT(spoken(), ElementsAre("newer"));
  EXPECT_TRUE(engine->alive(newer));
  EXPECT_FALSE(engine->alive(newer - 1));

  engine->interrupt();
  EXPECT_FALSE(engine->alive(newer));
  engine->say("late", newer);
  EXPECT_TRUE(spoken().empty());
}

TEST_F(EngineTest, AKeyPressedBeforeTheGreetingIsNotTalkedOver) {
  press(keys.talk);
  engine->greet("No piano found yet. Plug it in and I will pick it up.", false);
  // Whether a piano was found is still said, after the key's own answer.
  const std::string keys =
      "Until then, the computer keyboard works: h for help, 1 for a lesson, and q to quit.";
  EXPECT_THAT(spoken(), ElementsAre("Talk mode. Try middle C, D, E, F or G.",
                                    "No piano found yet. Plug it in and I will pick it up.", keys));
  auto lines = windowLines();
  EXPECT_THAT(lines, ::testing::Contains(::testing::StartsWith("welcome Hello.")));

  restartEngine();
  engine->greet("Piano connected.", true);
  EXPECT_THAT(spoken(), ElementsAre("Hello. I'm Orvo, your piano teacher.", "Piano connected."));

  // With no piano, a newcomer hears the computer's keys: the first two starts only.
  for (bool told : {true, false}) {
    restartEngine();
    engine->greet("No piano found yet. Plug it in and I will pick it up.", false);
    EXPECT_EQ(::testing::Value(spoken(), ::testing::Contains(keys)), told);
  }
}

TEST_F(EngineTest, TheSameSeedChoosesTheSameSentences) {
  auto sentences = [](std::uint64_t seed) {
    RecordingSpeaker speaker;
    TraceWorld world({.opt = {}, .seed = seed, .speaker = &speaker});
    Engine& engine = world.engine();
    VirtualRuntime& runtime = world.runtime();
    ButtonKeys keys;
    for (int i = 0; i < 12; ++i) {
      engine.command(keys.home);
      runtime.advance(1.0);
    }
    return speaker.said;
  };
  EXPECT_EQ(sentences(42), sentences(42));
  EXPECT_NE(sentences(42), sentences(43));
}

// A speaker that blocks each sentence until stop(), as a real voice does.
struct BlockingSpeaker final : SpeechOutput {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> started;
  int stops = 0;
  void say(const std::string& text, SpeechTicket ticket) override {
    std::unique_lock lock(mutex);
    if (!ticket.current()) return;
    started.push_back(text);
    changed.notify_all();
    int stopsAtStart = stops;
    changed.wait(lock, [&] { return stops != stopsAtStart; });
  }
  void stop() override {
    std::lock_guard guard(mutex);
    ++stops;
    changed.notify_all();
  }
  void silenceNow() override { stop(); }
  std::string voiceName() override { return ""; }
  std::string nextVoice(Store::Kept kept) override {
    if (kept) kept(std::nullopt);
    return "";
  }
  float volume() override { return 1.0f; }
  void setVolume(float) override {}
  bool waitForStarted(std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), [&] { return started.size() >= count; });
  }
};

TEST(EngineThreads, ANewActivityCutsOffSpeechAndTheOldOneStaysSilent) {
  ThreadRuntime runtime(1);
  BlockingSpeaker speaker;
  StandaloneEngine world(runtime, speaker);
  Engine& engine = world.engine;

  engine.run([&](int gen) {
    engine.say("a long sentence", gen);
    engine.say("more from the old activity", gen);
  });
  ASSERT_TRUE(speaker.waitForStarted(1));
  std::promise<void> answered;
  engine.run([&](int gen) {
    engine.say("the new answer", gen);
    answered.set_value();
  });
  ASSERT_TRUE(speaker.waitForStarted(2));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  speaker.stop();  // let the new answer finish
  // Its end is told to the listener before the engine goes away.
  ASSERT_EQ(answered.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::lock_guard guard(speaker.mutex);
  EXPECT_THAT(speaker.started, ElementsAre("a long sentence", "the new answer"));
}

// A voice that starts every sentence at once and speaks it until told to stop,
// remembering what it is saying now.
struct EndlessSynth final : SpeechSynth {
  std::mutex mutex;
  std::atomic<Delegate*> delegate{nullptr};  // the speech queue reads it while the test ends
  std::vector<std::uint64_t> speaking;
  void setDelegate(Delegate* d) override { delegate = d; }
  bool connect() override { return true; }
  bool connected() override { return true; }
  std::vector<SynthVoice> voices() override { return {}; }
  bool speak(const SynthUtterance& utterance) override {
    {
      std::lock_guard guard(mutex);
      speaking.push_back(utterance.id);
    }
    if (Delegate* d = delegate) d->synthDidStart(utterance.id);
    return true;
  }
  void stopSpeaking() override {
    std::vector<std::uint64_t> cut;
    {
      std::lock_guard guard(mutex);
      cut.swap(speaking);
    }
    if (Delegate* d = delegate) {
      for (auto id : cut) d->synthDidCancel(id);
    }
  }
  std::size_t nowSpeaking() {
    std::lock_guard guard(mutex);
    return speaking.size();
  }
};

// Presses land at every moment of a sentence's start, on real threads: once a
// press has stopped everything, no sentence of an older turn may be sounding.
TEST(EngineThreads, NoSentenceOutlivesThePressThatStoppedIt) {
  ThreadRuntime runtime(3);
  std::thread mainLoop([&] { runtime.runMainLoop(); });
  EndlessSynth synth;
  NoSpeechTool tool;
  Opt opt;
  MemoryStore voices;
  Speaker speaker({.runtime = runtime,
                   .opt = opt,
                   .synth = synth,
                   .tool = tool,
                   .ui = [](const std::string&) {},
                   .print = [](const std::string&) {},
                   .store = voices});
  // A press that came between the activity's last look and the voice: the
  // sentence's turn has passed when it reaches the speaker, so it never starts.
  std::atomic<int> turn{2};
  speaker.say("an old turn's sentence", SpeechTicket{&turn, 1});
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(synth.nowSpeaking(), 0u);

  StandaloneEngine world(runtime, speaker);
  Engine& engine = world.engine;
  std::mt19937 random(11);
  int stale = 0;
  std::atomic<int> finished{0};
  for (int round = 0; round < 400; ++round) {
    engine.run([&](int gen) {
      engine.say("a sentence", gen);
      ++finished;
    });
    // Somewhere between before the sentence is asked for and after it started.
    auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(random() % 300);
    while (std::chrono::steady_clock::now() < until) std::this_thread::yield();
    engine.interrupt();
    // The stop reaches the voice through the main queue, which a loaded machine may
    // take a while to run; a stale sentence would stay for good.
    for (int wait = 0; wait < 2000 && synth.nowSpeaking() > 0; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (synth.nowSpeaking() > 0) {
      ++stale;
      synth.stopSpeaking();
    }
  }
  EXPECT_EQ(stale, 0);
  // Every activity has finished with the engine before it goes away.
  for (int wait = 0; wait < 5000 && finished < 400; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(finished, 400);
  finishSpeechThenStop(runtime, mainLoop);
}

void pause(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Composition on real threads, since on the virtual clock a playback runs to
// its end inside the press that starts it. The room stays in composition to
// the end: leaving would autosave the take on the saver's thread, which could
// still be writing when the engine goes.
class ComposeThreads : public ::testing::Test {
 protected:
  ComposeThreads() { engine.command(keys.compose); }
  // Every activity, a stop's sentence included, returns before the engine goes.
  ~ComposeThreads() override {
    EXPECT_TRUE(within(5.0, [&] { return engine.activitiesRunning() == 0; }));
    finishSpeechThenStop(runtime, mainLoop);
  }
  // Whether `done` came true within `seconds`, looking every 10 ms.
  static bool within(double seconds, const std::function<bool()>& done) {
    for (double waited = 0; waited < seconds; waited += 0.01) {
      if (done()) return true;
      pause(0.01);
    }
    return false;
  }
  void phrase(std::initializer_list<int> pitches) {
    for (int pitch : pitches) {
      engine.noteEvent(pitch, 80);
      pause(0.1);
      engine.noteEvent(pitch, 0);
      pause(0.05);
    }
  }

  ThreadRuntime runtime{2};
  RecordingSpeaker speaker;
  StandaloneEngine world{runtime, speaker};
  Engine& engine = world.engine;
  std::thread mainLoop{[this] { runtime.runMainLoop(); }};
  const ButtonKeys& keys = engine.keys();
};

TEST_F(ComposeThreads, ANewerBandPlaybackCutsTheOlderAndThePianoLeavesTheMixWhenTheLastEnds) {
  auto pianoHereWithin = [&](bool wanted, double seconds) {
    return within(seconds, [&] { return world.midi.pianoHere.load() == wanted; });
  };
  phrase({60, 64, 67, 72, 67, 64, 60, 62, 65, 69, 67, 60, 64, 67, 72, 60});
  engine.noteEvent(keys.hear, 90);
  ASSERT_TRUE(pianoHereWithin(true, 2.0)) << "the piano is mixed in with the band ";
  pause(0.8);  // past the double press that names a piece
  engine.noteEvent(keys.hear, 90);
  pause(0.9);  // the new playback begins once no second press came
  EXPECT_TRUE(world.midi.pianoHere.load()) << "the cut playback ending must not clear it";
  EXPECT_TRUE(pianoHereWithin(false, 15.0)) << "the last playback to end clears it";

  engine.noteEvent(keys.hear, 90);
  ASSERT_TRUE(pianoHereWithin(true, 2.0));
  engine.command(keys.pause);
  EXPECT_TRUE(pianoHereWithin(false, 1.0)) << "stopping the sound ends the mix at once";
}

// The round's echo leaves on its own clock while the engine is busy: a due
// echo never waits for the engine's lock.
TEST_F(ComposeThreads, TheRoundsEchoLeavesWhileTheEngineIsBusy) {
  auto saidRound = [&] {
    std::lock_guard guard(speaker.mutex);
    for (const auto& line : speaker.said)
      if (line.rfind("Round.", 0) == 0) return true;
    return false;
  };
  phrase({60, 62, 64, 65, 67, 65, 64, 62, 60, 64, 67, 72});
  for (int press = 0; press < 4; ++press) engine.command(keys.next);
  ASSERT_TRUE(within(5.0, saidRound));

  engine.noteEvent(62, 90);
  const std::vector<std::uint8_t> echo = {0x90, 74, 90};
  auto echoed = [&] {
    const auto published = world.world.midiBackend().publishedSoFar();
    return std::find(published.begin(), published.end(), echo) != published.end();
  };
  RecursiveMutexLock busy(engine.lock);  // longer than the round's longest delay, 8 s
  EXPECT_TRUE(within(10.0, echoed)) << "the echo waited for the engine";
}

}  // namespace
}  // namespace orvo
