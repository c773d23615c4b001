// The natural voice's waits on the virtual clock, with the server's pipes
// played by the test: the 10 s for the server to come up, the 25 s for an
// answer, a late answer, and a server that went down started again.

#include <cstring>

#include "doubles/memory-store.h"
#include "doubles/virtual-runtime.h"
#include "matchers.h"
#include "platform/files.h"
#include "platform/text-pieces.h"
#include "sound/kokoro.h"
#include "temp-folder.h"
#include "wav-bytes.h"

namespace orvo {
namespace {

struct PipeDouble final : KokoroPipe {
  std::vector<std::string>* written;
  std::function<void()> answer;  // run on each request, when set
  PipeDouble(std::vector<std::string>* into, std::function<void()> then)
      : written(into), answer(std::move(then)) {}
  bool write(std::string_view bytes) override {
    written->emplace_back(bytes);
    if (answer) answer();
    return true;
  }
  void terminate() override {}
};

// A WAV file of `count` 16-bit samples at 24 000 Hz.
std::string wavOfSamples(std::uint32_t count) {
  return testing::wavBytes(1, 1, 24000, 16, std::string(count * 2, '\x10'));
}

class KokoroWaitsTest : public ::testing::Test {
 protected:
  testing::TempFolder home;
  testing::TempFolder temporary;
  VirtualRuntime runtime{3};
  MemoryStore store;
  std::vector<std::string> written;
  std::vector<std::string> logged;
  LineProcess::Calls calls;
  int launches = 0;
  std::unique_ptr<Kokoro> kokoro;

  KokoroWaitsTest() {
    std::filesystem::create_directories(home / "voice" / ".venv" / "bin");
    files::writeFileAtomically(home / "voice" / ".venv" / "bin" / "python", "");
    files::writeFileAtomically(home / "voice" / "kokoro-v1.0.onnx", "");
    kokoro = std::make_unique<Kokoro>(
        Kokoro::Parts{.runtime = runtime,
                      .store = store,
                      .folder = home / "voice",
                      .temporary = temporary.path(),
                      .log = [this](const std::string& line) { logged.push_back(line); },
                      .launch =
                          [this](const LineProcess::Options&, LineProcess::Calls given) {
                            ++launches;
                            calls = std::move(given);
                            return std::make_shared<PipeDouble>(&written, nullptr);
                          }});
    kokoro->start();
  }
  ~KokoroWaitsTest() override {
    runtime.runReady();
    kokoro.reset();
  }
  void line(const std::string& text) { calls.onLine(text); }
  // The output path of the last request.
  std::string lastOutput() {
    auto parts = text::split(written.back(), '\t');
    return parts.size() > 3 ? std::string(parts[3]) : "";
  }
};

TEST_F(KokoroWaitsTest, AServerThatNeverComesUpOrNeverAnswersLeavesTheSentenceInTime) {
  double before = runtime.now();
  EXPECT_FALSE(kokoro->synth("Nobody is there yet."));
  EXPECT_NEAR(runtime.now() - before, 10.0, 0.15) << "the start wait is 10 s";
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(kokoro->state(), Kokoro::State::starting);

  line("ready\tbm_george\tbf_emma");
  before = runtime.now();
  EXPECT_FALSE(kokoro->synth("No answer comes to this one."));
  EXPECT_NEAR(runtime.now() - before, 25.0, 0.01) << "the answer wait is 25 s";
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].substr(0, 18), "1\tbm_george\t1.06\t/");
  EXPECT_THAT(logged, Contains("Kokoro: no answer in time"));
  EXPECT_EQ(kokoro->state(), Kokoro::State::ready) << "later sentences may still work";
  line("1\tok");                                // its late answer is dropped
  line("ready\tbm_george\tbf_emma\taf_heart");  // said twice: the first stands
  EXPECT_EQ(kokoro->voices().size(), 2u);

  // An answer at 24.5 s is in time; short sentences are spoken a little slower.
  runtime.after(24.5, [this] {
    files::writeFileAtomically(lastOutput(), wavOfSamples(2400));
    line("2\tok");
  });
  auto file = kokoro->synth("Just in time.");
  ASSERT_TRUE(file);
  EXPECT_EQ(written.back().substr(0, 18), "2\tbm_george\t0.98\t/");
  EXPECT_EQ(written.back().substr(written.back().size() - 15), "\tJust in time.\n");
  EXPECT_EQ(kokoro->synth("Just in time."), file) << "from the cache, no request";
  EXPECT_EQ(written.size(), 2u);

  // A server that ends is started again, but not more than once a minute.
  calls.onExit();
  EXPECT_EQ(kokoro->state(), Kokoro::State::failed);
  kokoro->revive();
  runtime.runReady();
  EXPECT_EQ(launches, 1) << "the first start was under a minute ago";
  runtime.advance(61);
  kokoro->revive();
  runtime.runReady();
  EXPECT_EQ(launches, 2);
  EXPECT_EQ(kokoro->state(), Kokoro::State::starting);
  line("ready\tbm_george");
  EXPECT_TRUE(kokoro->usable());
  kokoro->revive();  // a voice that works is left alone
  runtime.runReady();
  EXPECT_EQ(launches, 2);
}

TEST_F(KokoroWaitsTest, TheClipsAreRenderedOnceTheServerIsUpAndTheCacheKeepsThem) {
  // A voice of its own, told of the clips, its server answering each request
  // at once and saying it is ready before its launch has even returned.
  kokoro.reset();
  written.clear();
  auto answer = [this] {
    runtime.after(0.2, [this, id = written.size()] {
      files::writeFileAtomically(lastOutput(), wavOfSamples(240));
      calls.onLine(std::to_string(id) + "\tok");
    });
  };
  kokoro = std::make_unique<Kokoro>(
      Kokoro::Parts{.runtime = runtime,
                    .store = store,
                    .folder = home / "voice",
                    .temporary = temporary.path(),
                    .launch =
                        [this, answer](const LineProcess::Options&, LineProcess::Calls given) {
                          calls = std::move(given);
                          calls.onLine("ready\tbm_george");
                          return std::make_shared<PipeDouble>(&written, answer);
                        },
                    .systemClips = {"Your turn. Over to you."}});
  kokoro->start();
  runtime.runReady();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_THAT(written[0], ::testing::EndsWith("\tYour turn.\n"));
  EXPECT_THAT(written[1], ::testing::EndsWith("\tOver to you.\n"));
  EXPECT_TRUE(kokoro->synth("Over to you."));
  EXPECT_EQ(written.size(), 2u) << "the clip is in the cache";
}

}  // namespace
}  // namespace orvo
