// The natural voice against the stand-in server, installed where the real
// one would be: rendering, the cache, and every way the server misbehaves.
#include "sound/kokoro.h"

#include <cstdlib>
#include <future>
#include <mutex>

#include "doubles/memory-store.h"
#include "matchers.h"
#include "platform/file-store.h"
#include "platform/files.h"
#include "platform/opt.h"
#include "platform/speech/speech-tool.h"
#include "platform/thread-runtime.h"
#include "sound/speaker.h"
#include "sound/voice-wav.h"
#include "temp-folder.h"

namespace orvo {
namespace {

class KokoroTest : public ::testing::Test {
 protected:
  testing::TempFolder home;
  testing::TempFolder temporary;
  ThreadRuntime runtime{1};
  FileStore settings{home.path(), runtime, runtime.serial("orvo.store")};  // the kept choices
  // Written from the server's reader thread, read from the test's.
  std::mutex logMutex;
  std::vector<std::string> loggedLines;
  std::vector<std::string> logged() {
    std::lock_guard guard(logMutex);
    return loggedLines;
  }
  std::filesystem::path folder = home / "voice";

  KokoroTest() {
    std::filesystem::create_directories(folder / ".venv" / "bin");
    std::filesystem::copy_file(ORVO_KOKORO_STAND_IN, folder / ".venv" / "bin" / "python");
    files::writeFileAtomically(folder / "kokoro-v1.0.onnx", "");
    ::unsetenv("KOKORO_STAND_IN");
    ::unsetenv("KOKORO_STAND_IN_DELAY");
  }
  ~KokoroTest() override {
    ::unsetenv("KOKORO_STAND_IN");
    settings.flush(5.0);  // no write left for the store's queue once it is gone
  }

  // A voice on the stand-in server behaving as `mode` says; `parts` changes
  // the rest, and `up` waits for the server to be ready (or to fail).
  std::unique_ptr<Kokoro> voice(const char* mode = "",
                                std::function<void(Kokoro::Parts&)> parts = {}, bool up = false) {
    ::setenv("KOKORO_STAND_IN", mode, 1);
    Kokoro::Parts made{.runtime = runtime,
                       .store = settings,
                       .folder = folder,
                       .temporary = temporary.path(),
                       .log = [this](const std::string& line) {
                         std::lock_guard guard(logMutex);
                         loggedLines.push_back(line);
                       }};
    if (parts) parts(made);
    auto kokoro = std::make_unique<Kokoro>(std::move(made));
    kokoro->start();
    for (int i = 0; up && i < 500 && kokoro->state() == Kokoro::State::starting; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return kokoro;
  }
  int requests() {
    auto text = files::readFile(folder / "requests.txt").value_or("");
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }
};

TEST_F(KokoroTest, SentencesAreRenderedCachedWhenShortAndSentAsOneLine) {
  files::writeFileAtomically(temporary / "tp-kokoro-1-0000000000000000.wav", "old");
  files::writeFileAtomically(folder / "voice-kokoro.txt", "xx_nobody\n");
  files::writeFileAtomically(folder / "voice-speed.txt", "fast");
  ::setenv("KOKORO_STAND_IN_DELAY", "0.3", 1);
  auto kokoro = voice();
  EXPECT_FALSE(std::filesystem::exists(temporary / "tp-kokoro-1-0000000000000000.wav"));
  EXPECT_EQ(kokoro->state(), Kokoro::State::starting);

  const std::string sixty(60, 'a');
  auto first = kokoro->synth(sixty);  // waits for the server to come up
  ASSERT_TRUE(first);
  EXPECT_EQ(kokoro->state(), Kokoro::State::ready);
  EXPECT_EQ(kokoro->voice(), "bm_george") << "a saved voice the server does not offer";
  EXPECT_EQ(kokoro->rate(), 1.0);
  EXPECT_EQ(first->parent_path(), folder / "cache");
  auto wav = readVoiceWavFile(*first);
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->rate, 24000);
  EXPECT_NEAR(wav->seconds(), 3.6, 0.01);
  EXPECT_EQ(kokoro->synth(sixty), first);
  EXPECT_EQ(requests(), 1) << "the second time comes from the cache";

  const std::string sixtyOne(61, 'b');
  auto longer = kokoro->synth(sixtyOne);
  ASSERT_TRUE(longer);
  EXPECT_EQ(longer->parent_path(), temporary.path());
  std::filesystem::remove(*longer);
  EXPECT_TRUE(kokoro->synth(sixtyOne));
  EXPECT_EQ(requests(), 3);

  EXPECT_TRUE(kokoro->synth("One\ttwo\nthree."));
  EXPECT_THAT(files::readFile(folder / "requests.txt").value_or(""),
              HasSubstr("\tOne two three.\n"));
  EXPECT_EQ(requests(), 4);
  EXPECT_THAT(logged(), Contains("Kokoro voice ready, 3 voices"));

  // A cached file cut short by a crash is rendered again.
  files::writeFileAtomically(*first, "RIFF");
  EXPECT_TRUE(kokoro->synth(sixty));
  EXPECT_EQ(requests(), 5);

  // The favourites the server offers, then the platform voice, then round again; all kept.
  EXPECT_EQ(kokoro->name(), "George");
  EXPECT_EQ(kokoro->nextVoice(), "Emma");
  EXPECT_EQ(kokoro->nextVoice(), "Heart");
  EXPECT_EQ(kokoro->nextVoice(), std::nullopt);
  EXPECT_FALSE(kokoro->enabled());
  EXPECT_FALSE(kokoro->usable());
  EXPECT_EQ(kokoro->nextVoice(), "George");
  EXPECT_EQ(kokoro->stepRate(+1), 1.1);
  for (int i = 0; i < 10; ++i) kokoro->stepRate(+1);
  EXPECT_EQ(kokoro->rate(), 1.5);
  EXPECT_EQ(kokoro->stepRate(-1), 1.4);
  // Every write queued so far is on disk before the files are looked at (the
  // climb to 1.5 passes 1.4 on its way) and before one is put out of reach.
  ASSERT_TRUE(settings.flush(5.0));
  EXPECT_EQ(files::readFile(folder / "voice-speed.txt"), "1.4\n");
  EXPECT_EQ(files::readFile(folder / "voice-kokoro.txt"), "bm_george\n");
  // A choice that cannot be kept (a folder in the file's place) is told why.
  std::filesystem::remove(folder / "voice-speed.txt");
  std::filesystem::create_directory(folder / "voice-speed.txt");
  std::promise<std::optional<std::string>> problem;
  kokoro->stepRate(+1, [&](const std::optional<std::string>& why) { problem.set_value(why); });
  auto told = problem.get_future();
  ASSERT_EQ(told.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(told.get());

  kokoro->shutDown();
  EXPECT_EQ(kokoro->state(), Kokoro::State::off);
  EXPECT_FALSE(kokoro->synth("After the end."));
}

TEST_F(KokoroTest, AServerThatMisbehavesLeavesTheSentenceToThePlatformVoice) {
  {
    auto kokoro = voice("failed");
    EXPECT_FALSE(kokoro->synth("Hello there, how are you?"));
    EXPECT_EQ(kokoro->state(), Kokoro::State::failed);
    EXPECT_THAT(logged(), Contains("Kokoro could not start: no model in this folder"));
  }
  {
    auto kokoro = voice("notok");
    EXPECT_FALSE(kokoro->synth("Hello there, how are you?"));
    EXPECT_EQ(kokoro->state(), Kokoro::State::ready) << "later sentences may still work";
  }
  {
    auto kokoro = voice("broken");
    EXPECT_FALSE(kokoro->synth("A broken file."));
    EXPECT_TRUE(std::filesystem::is_empty(folder / "cache")) << "a broken file is not kept";
  }
  for (const char* works : {"split", "unknown", "noline"}) {
    auto kokoro = voice(works);
    EXPECT_TRUE(kokoro->synth(std::string("Fine all the same: ") + works)) << works;
  }
  {
    auto kokoro = voice("exit");
    EXPECT_FALSE(kokoro->synth("The server leaves."));
    for (int i = 0; i < 100 && kokoro->state() != Kokoro::State::failed; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(kokoro->state(), Kokoro::State::failed);
  }
  // Not installed, or a program that is not there: nothing starts, nothing breaks.
  std::filesystem::remove(folder / "kokoro-v1.0.onnx");
  auto missing = voice();
  EXPECT_EQ(missing->state(), Kokoro::State::off);
  EXPECT_FALSE(missing->synth("Nobody home."));
  files::writeFileAtomically(folder / "voice-kokoro.txt", "mac");
  EXPECT_FALSE(voice()->enabled());
}

// Keeps what is played, as fast as it comes.
struct RecordedOutput final : VoiceOutput {
  std::vector<std::int16_t>* samples;
  explicit RecordedOutput(std::vector<std::int16_t>* into) : samples(into) {}
  bool write(const std::int16_t* data, std::size_t count) override {
    samples->insert(samples->end(), data, data + count);
    return true;
  }
  double latency() override { return 0.0; }
  void drain() override {}
};

TEST_F(KokoroTest, SpeakingPlaysEverySentenceDucksStopsAndHandsOnWhatItCannotSay) {
  std::vector<std::int16_t> played;
  std::vector<std::string> words;
  int opened = 0;
  auto make = [&](const char* mode) {
    return voice(
        mode,
        [&](Kokoro::Parts& parts) {
          parts.ui = [&](const std::string& line) {
            if (line.rfind("word ", 0) == 0) words.push_back(line);
          };
          parts.openOutput = [&](int) -> std::unique_ptr<VoiceOutput> {
            ++opened;
            return std::make_unique<RecordedOutput>(&played);
          };
        },
        true);
  };
  auto kokoro = make("");
  int starts = 0;
  auto spoken = kokoro->say("Two words. And three more.", [&] { ++starts; });
  EXPECT_TRUE(spoken.any);
  EXPECT_EQ(spoken.rest, "");
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(played.size(), (10u + 15u) * 24000 * 60 / 1000);
  EXPECT_THAT(words,
              ElementsAre("word Two", "word words.", "word And", "word three", "word more."));
  auto peak = [&] {
    int most = 0;
    for (auto s : played) most = std::max(most, std::abs(static_cast<int>(s)));
    played.clear();
    return most;
  };
  const int loud = peak();
  EXPECT_NEAR(loud, 0.3 * 32767, 200);
  kokoro->duck(true);
  kokoro->say("Quieter while you talk.", {});
  const std::size_t ramp = 24000 / 20;
  int late = 0;
  for (std::size_t i = ramp; i < played.size(); ++i)
    late = std::max(late, std::abs(static_cast<int>(played[i])));
  EXPECT_NEAR(late, loud * 0.25, 100) << "about 12 dB down once the ramp is over";
  played.clear();
  kokoro->duck(false);

  // Stopped from another thread part way, playing at the pace of a real
  // device: it returns within a block, with nothing handed on.
  {
    auto pacedVoice = voice(
        "",
        [&](Kokoro::Parts& parts) {
          parts.openOutput = [&](int rate) {
            return openFileVoiceOutput(temporary / "paced.raw", rate);
          };
        },
        true);
    std::thread pacedStop([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      pacedVoice->stop();
    });
    const auto began = std::chrono::steady_clock::now();
    auto slow = pacedVoice->say("A sentence long enough to take several seconds to say aloud.", {});
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    pacedStop.join();
    EXPECT_LT(took, 1.0) << "stopped within a block, not at the sentence's end";
    const auto bytes = std::filesystem::file_size(temporary / "paced.raw");
    EXPECT_GT(bytes, 0u);
    EXPECT_LT(bytes, 24000u * 2) << "written at the pace of playback";
    EXPECT_TRUE(slow.any);
    EXPECT_EQ(slow.rest, "");
  }

  // The second sentence cannot be rendered: the platform voice gets it.
  auto once = make("once");
  auto handed = once->say("This one works. This one fails.", {});
  EXPECT_TRUE(handed.any);
  EXPECT_EQ(handed.rest, "This one fails.");
  // No output device: nothing is said here.
  auto none = voice(
      "",
      [](Kokoro::Parts& parts) {
        parts.openOutput = [](int) -> std::unique_ptr<VoiceOutput> { return nullptr; };
      },
      true);
  auto silent = none->say("Nobody can hear this.", {});
  EXPECT_FALSE(silent.any);
  EXPECT_EQ(silent.rest, "Nobody can hear this.");
}

// A platform voice that says each sentence at once, keeping what it said.
struct InstantSynth final : SpeechSynth {
  std::mutex mutex;
  std::vector<std::string> spoken;
  Delegate* delegate = nullptr;
  void setDelegate(Delegate* d) override { delegate = d; }
  bool connect() override { return true; }
  bool connected() override { return true; }
  std::vector<SynthVoice> voices() override { return {}; }
  bool speak(const SynthUtterance& utterance) override {
    {
      std::lock_guard guard(mutex);
      spoken.push_back(utterance.text);
    }
    delegate->synthDidStart(utterance.id);
    delegate->synthDidFinish(utterance.id);
    return true;
  }
  void stopSpeaking() override {}
};

TEST_F(KokoroTest, TheSpeakerPrefersTheNaturalVoiceAndFallsBackToThePlatformOne) {
  std::vector<std::int16_t> played;
  bool device = true;
  std::mutex linesMutex;
  std::vector<std::string> window;
  auto ui = [&](const std::string& line) {
    std::lock_guard guard(linesMutex);
    window.push_back(line);
  };
  auto kokoro = voice(
      "",
      [&](Kokoro::Parts& parts) {
        parts.ui = ui;
        parts.openOutput = [&](int) -> std::unique_ptr<VoiceOutput> {
          if (!device) return nullptr;
          return std::make_unique<RecordedOutput>(&played);
        };
      },
      true);
  ASSERT_EQ(kokoro->state(), Kokoro::State::ready);
  std::thread loop([this] { runtime.runMainLoop(); });
  InstantSynth synth;
  NoSpeechTool tool;
  Opt opt;
  MemoryStore store;
  {
    Speaker speaker({.runtime = runtime,
                     .opt = opt,
                     .synth = synth,
                     .tool = tool,
                     .ui = ui,
                     .print = [](const std::string&) {},
                     .store = store,
                     .neural = kokoro.get()});
    EXPECT_TRUE(speaker.usingFastVoice());
    EXPECT_EQ(speaker.voiceName(), "George");
    speaker.say("Hello there.");
    EXPECT_EQ(played.size(), 12u * 1440);
    EXPECT_TRUE(synth.spoken.empty());
    {
      std::lock_guard guard(linesMutex);
      EXPECT_THAT(window, IsSupersetOf({"say Hello there.", "start", "word Hello"}));
    }
    // Nothing to hear it on: the platform voice says it.
    device = false;
    speaker.say("Can you hear me?");
    {
      std::lock_guard guard(synth.mutex);
      EXPECT_THAT(synth.spoken, ElementsAre("Can you hear me?"));
    }
    EXPECT_EQ(speaker.nextVoice(), "Emma");
    {
      std::lock_guard guard(linesMutex);
      EXPECT_THAT(window, Contains("voice Emma (Kokoro)"));
    }
    EXPECT_EQ(speaker.stepRate(-1), 0.9);
    speaker.stop();
  }
  runtime.stopMainLoop();
  loop.join();
}

}  // namespace
}  // namespace orvo
