#pragma once
// The natural voice: the Kokoro model run by a small Python server in a
// process of its own, asked over its standard input to render a sentence to
// a WAV file, one line a request, and answered one line a reply. Renderings
// of short sentences are kept in a cache; a server that fails, dies or does
// not answer in time leaves that sentence to the platform voice.
//
// Threads: start, synth and shutDown from activities (synth blocks up to
// 10 s for the server to come up and 25 s for its answer); the server's lines
// arrive on its reader thread. The fields are guarded by the voice's lock,
// which is never held while waiting or writing to the server.

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio/voice-output.h"
#include "platform/background-tasks.h"
#include "platform/line-process.h"
#include "platform/mutex.h"
#include "platform/runtime.h"
#include "platform/store.h"
#include "sound/voice-wav.h"

namespace orvo {

// The server's pipes: a process of its own, or a double in tests.
class KokoroPipe {
 public:
  virtual ~KokoroPipe() = default;
  virtual bool write(std::string_view bytes) = 0;
  virtual void terminate() = 0;
};
using KokoroLaunch =
    std::function<std::shared_ptr<KokoroPipe>(const LineProcess::Options&, LineProcess::Calls)>;
// The server as a process (LineProcess); nothing when it cannot start.
std::shared_ptr<KokoroPipe> launchKokoroProcess(const LineProcess::Options& options,
                                                LineProcess::Calls calls);

class Kokoro {
 public:
  enum class State { off, starting, ready, failed };

  struct Parts {
    Runtime& runtime;
    // The data folder's files: the voice chosen and its speed are kept in
    // "voice/voice-kokoro.txt" and "voice/voice-speed.txt".
    Store& store;
    std::filesystem::path folder;     // the data folder's "voice"
    std::filesystem::path temporary;  // where long sentences are rendered
    std::function<void(const std::string&)> log = [](const std::string&) {};
    std::function<void(const std::string&)> ui = [](const std::string&) {};  // "word " lines
    std::function<float()> volume = [] { return 1.0f; };
    std::function<std::unique_ptr<VoiceOutput>(int rate)> openOutput = [](int rate) {
      return openVoiceOutput(rate);
    };
    bool cache = true;  // false renders every sentence afresh (a cold start, timed)
    KokoroLaunch launch = launchKokoroProcess;
    // Sentences rendered into the cache once the server is ready, so the
    // most frequent ones start at once.
    std::vector<std::string> systemClips = {};
    // Each sentence's sound before it plays, for the window's level display.
    std::function<void(const VoiceWav&)> measure = nullptr;
  };

  // What say() managed: nothing, or all but `rest`, which the platform voice
  // then says.
  struct Spoken {
    bool any = false;
    std::string rest;
  };

  explicit Kokoro(Parts parts);
  ~Kokoro();
  Kokoro(const Kokoro&) = delete;
  Kokoro& operator=(const Kokoro&) = delete;

  // The model and the environment's Python are both in the folder.
  bool installed() const;
  // Launches the server when installed and not running yet.
  void start();
  void shutDown();
  // start(), then waits up to `limit` seconds for the server's answer; true once ready.
  bool startAndWait(double limit);
  // A server that failed or ended is started again, at most once a minute;
  // until it is up the platform voice speaks.
  void revive();

  // The WAV file of the sentence in `voiceId` (the chosen voice when empty),
  // from the cache when it is there; nothing: the platform voice says it instead.
  std::optional<std::filesystem::path> synth(const std::string& text,
                                             const std::string& voiceId = "");
  // Renders each sentence not yet in the cache, one at a time, leaving the
  // server to any sentence being spoken.
  void prewarm(const std::vector<std::string>& sentences);

  // Renders and plays the text sentence by sentence, the next rendered while
  // one plays; `onStart` when the sound begins. Blocks until it is done or stopped.
  Spoken say(const std::string& text, const std::function<void()>& onStart,
             const std::string& voiceId = "");
  // Silences the voice within one block; any thread, no allocation.
  void stop() { gen_.fetch_add(1); }
  // About 12 dB down while the listener hears the player, ramped over 50 ms.
  void duck(bool on) { ducked_ = on; }
  bool ducked() const { return ducked_; }
  // The output's latency when the last sentence began.
  double outputDelay() const { return outputDelay_; }

  // The next of the favourite voices the server offers; nothing after the
  // last, which hands over to the platform voice ("mac"). The choice is kept,
  // and `kept` hears how that went.
  std::optional<std::string> nextVoice(Store::Kept kept = nullptr);
  // The voice as a person says it ("George").
  std::string name() const;
  // The speaking rate a step slower (-1) or faster (+1), kept within 0.6 to 1.5.
  double stepRate(int direction, Store::Kept kept = nullptr);

  // The voices offered first, by id and spoken name.
  static const std::vector<std::pair<std::string, std::string>>& favourites();
  // The favourites this server offers, in that order.
  std::vector<std::pair<std::string, std::string>> offered() const;

  State state() const;
  std::string voice() const;
  bool enabled() const;  // false when the player chose the platform voice
  bool usable() const { return enabled() && state() == State::ready; }
  std::vector<std::string> voices() const;
  double rate() const;

 private:
  struct Waiting {
    std::shared_ptr<Semaphore> done;
    std::optional<std::string> reply;
  };
  struct Rendered {
    std::filesystem::path file;
    VoiceWav wav;
  };
  std::optional<Rendered> render(const std::string& text, const std::string& voiceId);
  std::vector<std::pair<std::string, std::string>> offeredLocked() const REQUIRES(lock_);
  void keep(const std::string& file, const std::string& text, Store::Kept kept);
  // While the server is coming up, at most `limit` seconds.
  void waitWhileStarting(double limit);
  void heard(std::string_view line);
  void ended();
  // Plays one rendered sentence; false when stopped or the stream broke.
  bool play(VoiceOutput& output, const std::string& sentence, const std::vector<float>& samples,
            int rate, int mine, const std::function<void()>& onStart, bool& started);

  Parts parts_;
  mutable Mutex lock_;
  State state_ GUARDED_BY(lock_) = State::off;
  std::vector<std::string> voices_ GUARDED_BY(lock_);
  std::string voice_ GUARDED_BY(lock_);
  bool enabled_ GUARDED_BY(lock_) = true;
  double rate_ GUARDED_BY(lock_) = 1.0;
  long counter_ GUARDED_BY(lock_) = 0;
  std::map<std::string, std::shared_ptr<Waiting>> replies_ GUARDED_BY(lock_);
  std::shared_ptr<KokoroPipe> process_ GUARDED_BY(lock_);
  double lastRetry_ GUARDED_BY(lock_) = -1e9;
  std::atomic<int> speakingNow_{0};
  std::atomic<int> gen_{0};
  std::atomic<bool> ducked_{false};
  std::atomic<double> outputDelay_{0};
  float gain_ = 1.0f;  // the ducking gain now, on the playing thread only
  // A restart and the clips, waited for before the voice goes.
  BackgroundTasks background_;
};

const char* kokoroStateName(Kokoro::State state);

}  // namespace orvo
