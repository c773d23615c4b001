// The platform voice on a stream of its own, against a stream double: what
// the Speaker is told, a stream that breaks part-way, a stop, and the
// player's own rate.
#include "sound/stream-synth.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "matchers.h"
#include "platform/thread-runtime.h"

namespace orvo {
namespace {

// Keeps every sample written; breaks after `breakAfter` writes, and can play
// at the pace of a real device.
struct Stream final : VoiceOutput {
  std::vector<std::int16_t>* samples;
  int breakAfter;
  bool paced;
  int rate;
  Stream(std::vector<std::int16_t>* into, int breakAt, bool atPace, int sampleRate)
      : samples(into), breakAfter(breakAt), paced(atPace), rate(sampleRate) {}
  bool write(const std::int16_t* data, std::size_t count) override {
    if (breakAfter-- == 0) return false;
    samples->insert(samples->end(), data, data + count);
    if (paced) std::this_thread::sleep_for(std::chrono::duration<double>(1.0 * count / rate));
    return true;
  }
  double latency() override { return 0.0; }
  void drain() override {}
};

SynthUtterance sentence(std::uint64_t id, std::string text) {
  SynthUtterance utterance;
  utterance.id = id;
  utterance.text = std::move(text);
  return utterance;
}

// What the Speaker would hear, in order.
struct Heard final : SpeechSynth::Delegate {
  std::mutex mutex;
  std::vector<std::string> events;
  std::shared_ptr<Semaphore> ended;
  void note(std::string event) {
    std::lock_guard guard(mutex);
    events.push_back(std::move(event));
  }
  void synthDidStart(std::uint64_t id) override { note("start " + std::to_string(id)); }
  void synthWillSpeakWord(std::uint64_t, const std::string& word) override { note(word); }
  void synthDidFinish(std::uint64_t id) override {
    note("finish " + std::to_string(id));
    ended->signal();
  }
  void synthDidCancel(std::uint64_t id) override {
    note("cancel " + std::to_string(id));
    ended->signal();
  }
};

TEST(StreamSynth, SaysEveryWordGoesOnAfterABrokenStreamAndStopsWithinABlock) {
  ThreadRuntime runtime{1};
  std::vector<std::int16_t> played;
  int opened = 0;
  int breakAfter = -1;
  bool paced = false;
  bool device = true;
  StreamSynth synth([&](int rate) -> std::unique_ptr<VoiceOutput> {
    if (!device) return nullptr;
    ++opened;
    return std::make_unique<Stream>(&played, std::exchange(breakAfter, -1), paced, rate);
  });
  Heard heard;
  heard.ended = runtime.makeSemaphore();
  synth.setDelegate(&heard);

  ASSERT_TRUE(synth.speak(sentence(1, "Hello there, Anna.")));
  ASSERT_TRUE(heard.ended->wait(10.0));
  EXPECT_THAT(heard.events, ElementsAre("start 1", "Hello", "there,", "Anna.", "finish 1"));
  const std::size_t whole = played.size();
  EXPECT_GT(whole, 10000u);

  // The output goes away after five blocks: the rest plays on the one that opens
  // next, nothing lost and nothing twice.
  played.clear();
  heard.events.clear();
  breakAfter = 5;
  ASSERT_TRUE(synth.speak(sentence(2, "Hello there, Anna.")));
  ASSERT_TRUE(heard.ended->wait(10.0));
  EXPECT_EQ(opened, 3);
  // espeak-ng's renders of one sentence differ by a few dozen samples; a block is 220.
  EXPECT_NEAR(static_cast<double>(played.size()), static_cast<double>(whole), 100.0);
  EXPECT_EQ(heard.events.back(), "finish 2");

  // Stopped part-way while playing at a device's pace: cancelled at once.
  heard.events.clear();
  paced = true;
  ASSERT_TRUE(synth.speak(sentence(3, "A long sentence that takes a few seconds to say.")));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto stopped = std::chrono::steady_clock::now();
  synth.stopSpeaking();
  ASSERT_TRUE(heard.ended->wait(1.0));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count(), 0.2);
  EXPECT_EQ(heard.events.back(), "cancel 3");

  // No output at all: refused at once, so the Speaker hands the sentence on.
  device = false;
  EXPECT_FALSE(synth.speak(sentence(4, "Nobody hears this.")));

  // The player's fastest rate, told by their speech settings, is followed.
  device = true;
  paced = false;
  played.clear();
  heard.events.clear();
  StreamSynth fast([&](int rate) { return std::make_unique<Stream>(&played, -1, false, rate); },
                   [] {
                     return PlayerSpeech{100, "en", "female2"};
                   });
  fast.setDelegate(&heard);
  ASSERT_TRUE(fast.speak(sentence(5, "Hello there, Anna.")));
  ASSERT_TRUE(heard.ended->wait(10.0));
  EXPECT_THAT(heard.events, ElementsAre("start 5", "Hello", "there,", "Anna.", "finish 5"));
  EXPECT_LT(played.size() * 3, whole * 2);  // pauses do not shorten as much as words

  // Two callers speaking at once are heard one after the other; a stop
  // cancels the one playing and every one waiting.
  heard.events.clear();
  ASSERT_TRUE(fast.speak(sentence(6, "First.")));
  ASSERT_TRUE(fast.speak(sentence(7, "Second.")));
  ASSERT_TRUE(heard.ended->wait(10.0) && heard.ended->wait(10.0));
  EXPECT_THAT(heard.events,
              ElementsAre("start 6", "First.", "finish 6", "start 7", "Second.", "finish 7"));
  heard.events.clear();
  StreamSynth slow([&](int rate) { return std::make_unique<Stream>(&played, -1, true, rate); });
  slow.setDelegate(&heard);
  for (std::uint64_t id : {8, 9, 10}) ASSERT_TRUE(slow.speak(sentence(id, "One more sentence.")));
  slow.stopSpeaking();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(heard.ended->wait(2.0));
  EXPECT_THAT(heard.events, ::testing::IsSupersetOf({"cancel 8", "cancel 9", "cancel 10"}));
  EXPECT_THAT(heard.events, ::testing::Not(::testing::Contains(::testing::StartsWith("finish"))));
}

}  // namespace
}  // namespace orvo
