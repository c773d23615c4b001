#include "sound/kokoro.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/files.h"
#include "platform/window-lines.h"
#include "sound/kokoro-protocol.h"
#include "sound/voice-wav.h"

namespace orvo {

namespace {

constexpr double kStartWait = 0.1;    // a look every 100 ms
constexpr double kStartLimit = 10.0;  // for the server to come up
constexpr double kReplyWait = 25.0;
constexpr double kRetryGap = 60.0;  // a server that keeps failing is not started over and over

class ProcessPipe final : public KokoroPipe {
 public:
  explicit ProcessPipe(std::unique_ptr<LineProcess> process) : process_(std::move(process)) {}
  bool write(std::string_view bytes) override { return process_->write(bytes); }
  void terminate() override { process_->terminate(); }

 private:
  std::unique_ptr<LineProcess> process_;
};

}  // namespace

std::shared_ptr<KokoroPipe> launchKokoroProcess(const LineProcess::Options& options,
                                                LineProcess::Calls calls) {
  std::unique_ptr<LineProcess> process = LineProcess::start(options, std::move(calls));
  if (!process) return nullptr;
  return std::make_shared<ProcessPipe>(std::move(process));
}

const char* kokoroStateName(Kokoro::State state) {
  switch (state) {
    case Kokoro::State::off:
      return "off";
    case Kokoro::State::starting:
      return "starting";
    case Kokoro::State::ready:
      return "ready";
    case Kokoro::State::failed:
      return "failed";
  }
  return "off";
}

Kokoro::Kokoro(Parts parts) : parts_(std::move(parts)), background_(parts_.runtime) {
  const std::string chosen = kokoroChoice(parts_.store.read("voice/voice-kokoro.txt"));
  const double rate = kokoroRate(parts_.store.read("voice/voice-speed.txt"));
  MutexLock guard(lock_);
  enabled_ = chosen != "mac";
  voice_ = enabled_ ? chosen : kDefaultKokoroVoice;
  rate_ = rate;
}

Kokoro::~Kokoro() {
  shutDown();
  // A restart or the clips may still be on their way through the queue.
  background_.waitAll();
}

bool Kokoro::installed() const {
  std::error_code error;
  return std::filesystem::exists(parts_.folder / "kokoro-v1.0.onnx", error) &&
         std::filesystem::exists(parts_.folder / ".venv" / "bin" / "python", error);
}

void Kokoro::start() {
  {
    MutexLock guard(lock_);
    if (state_ != State::off) return;
  }
  if (!installed()) return;
  // Long sentences of earlier runs are never read again.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(parts_.temporary, error)) {
    if (isKokoroLeftover(entry.path())) std::filesystem::remove(entry.path(), error);
  }
  files::makeFolders(parts_.folder / "cache");
  {
    MutexLock guard(lock_);
    state_ = State::starting;
    lastRetry_ = parts_.runtime.now();
  }
  LineProcess::Options options;
  options.argv = {(parts_.folder / ".venv" / "bin" / "python").string(), "-I",
                  (parts_.folder / "kokoro_server.py").string(), parts_.folder.string()};
  options.maxLine = 1 << 16;
  std::shared_ptr<KokoroPipe> process = parts_.launch(
      options,
      {.onLine = [this](std::string_view line) { heard(line); },
       .onDropped = [this](std::size_t) { parts_.log("Kokoro: an overlong line was dropped"); },
       .onExit = [this] { ended(); }});
  MutexLock guard(lock_);
  if (!process) {
    state_ = State::failed;
    parts_.log("Kokoro could not start: the server did not launch");
    return;
  }
  // The ready line may come before launch returns: the process is kept then too.
  if (state_ == State::starting || state_ == State::ready) process_ = std::move(process);
}

void Kokoro::heard(std::string_view text) {
  const KokoroLine line = readKokoroLine(text);
  std::shared_ptr<Waiting> answered;
  std::string logLine;
  bool nowReady = false;
  {
    MutexLock guard(lock_);
    switch (line.kind) {
      case KokoroLine::Kind::ready:
        // Said twice, the first one stands: the clips are not rendered again.
        if (state_ != State::starting) {
          logLine = "Kokoro: a ready line out of turn, ignored";
          break;
        }
        voices_ = line.voices;
        if (std::find(voices_.begin(), voices_.end(), voice_) == voices_.end()) {
          voice_ = kDefaultKokoroVoice;
        }
        state_ = State::ready;
        nowReady = enabled_;
        logLine = "Kokoro voice ready, " + std::to_string(voices_.size()) + " voices";
        break;
      case KokoroLine::Kind::failed:
        state_ = State::failed;
        logLine = "Kokoro could not start: " + line.reason;
        break;
      case KokoroLine::Kind::reply: {
        auto found = replies_.find(line.id);
        if (found == replies_.end()) break;  // late, repeated or never asked: dropped
        found->second->reply = line.reply;
        answered = found->second;
        replies_.erase(found);
        break;
      }
      case KokoroLine::Kind::junk:
        logLine = "Kokoro: a line that is no answer";
        break;
    }
  }
  if (answered) answered->done->signal();
  if (!logLine.empty()) parts_.log(logLine);
  // The window shows which voice speaks now.
  if (nowReady) parts_.ui(lines::voice(name() + " (Kokoro)"));
  if (nowReady && !parts_.systemClips.empty()) {
    background_.run([this] { prewarm(parts_.systemClips); });
  }
}

void Kokoro::ended() {
  std::map<std::string, std::shared_ptr<Waiting>> waiting;
  {
    MutexLock guard(lock_);
    if (state_ != State::off) state_ = State::failed;
    waiting.swap(replies_);
  }
  for (auto& [id, wait] : waiting) wait->done->signal();
  parts_.log("Kokoro: the server ended");
}

void Kokoro::waitWhileStarting(double limit) {
  auto wait = parts_.runtime.makeSemaphore();
  const long looks = std::lround(limit / kStartWait);
  for (long look = 0; look < looks && state() == State::starting; ++look) wait->wait(kStartWait);
}

bool Kokoro::startAndWait(double limit) {
  start();
  waitWhileStarting(limit);
  return state() == State::ready;
}

void Kokoro::revive() {
  std::shared_ptr<KokoroPipe> old;
  {
    MutexLock guard(lock_);
    if (state_ != State::failed || !enabled_) return;
    if (parts_.runtime.now() - lastRetry_ < kRetryGap) return;
    lastRetry_ = parts_.runtime.now();
    old = std::move(process_);
    state_ = State::off;
  }
  parts_.log("Kokoro: starting the server again");
  // Off this thread: the old process is waited for and the new one launched.
  background_.run([this, old]() mutable {
    if (old) old->terminate();
    old.reset();
    start();
  });
}

void Kokoro::shutDown() {
  std::shared_ptr<KokoroPipe> process;
  {
    MutexLock guard(lock_);
    process = std::move(process_);
    state_ = State::off;
  }
  // Ended outside the lock: its reader thread takes the lock on its way out.
  if (process) process->terminate();
  process.reset();
}

std::optional<std::filesystem::path> Kokoro::synth(const std::string& text,
                                                   const std::string& voiceId) {
  auto rendered = render(text, voiceId);
  if (!rendered) return std::nullopt;
  return rendered->file;
}

std::optional<Kokoro::Rendered> Kokoro::render(const std::string& text,
                                               const std::string& voiceId) {
  // The server coming up may change the voice (one it does not offer), so
  // the voice is read once it is up.
  waitWhileStarting(kStartLimit);
  std::string voice = voiceId;
  double rate;
  {
    MutexLock guard(lock_);
    if (voice.empty()) voice = voice_;
    rate = rate_;
  }
  const std::string speed = kokoroSpeed(rate, text);
  const std::filesystem::path output = kokoroOutput(
      parts_.folder, parts_.temporary, static_cast<long>(::getpid()), voice, speed, text);
  std::error_code error;
  if (parts_.cache && std::filesystem::exists(output, error)) {
    if (auto wav = readVoiceWavFile(output)) return Rendered{output, std::move(*wav)};
    std::filesystem::remove(output, error);  // cut short by a crash: rendered again
  }
  auto waiting = std::make_shared<Waiting>();
  waiting->done = parts_.runtime.makeSemaphore();
  std::shared_ptr<KokoroPipe> process;
  std::string id;
  {
    MutexLock guard(lock_);
    if (state_ != State::ready || !process_) return std::nullopt;
    process = process_;
    id = std::to_string(++counter_);
    replies_[id] = waiting;
  }
  bool written = process->write(kokoroRequest(std::stol(id), voice, speed, output, text));
  bool answered = written && waiting->done->wait(kReplyWait);
  std::optional<std::string> reply;
  {
    MutexLock guard(lock_);
    replies_.erase(id);
    reply = waiting->reply;
  }
  if (!answered || !reply || reply->rfind("ok", 0) != 0) {
    parts_.log(reply ? "Kokoro: " + *reply : "Kokoro: no answer in time");
    return std::nullopt;
  }
  auto wav = readVoiceWavFile(output);
  if (!wav) {
    parts_.log("Kokoro: the rendered file could not be read");
    std::filesystem::remove(output, error);
    return std::nullopt;
  }
  return Rendered{output, std::move(*wav)};
}

void Kokoro::prewarm(const std::vector<std::string>& sentences) {
  auto pause = parts_.runtime.makeSemaphore();
  for (const auto& text : sentences) {
    // As say() cuts them, so the clips are what it asks for.
    for (const auto& sentence : voiceSentences(text)) {
      if (!usable()) return;
      // A sentence being spoken goes first; the clips wait for the quiet.
      for (int look = 0; look < 600 && speakingNow_.load() > 0; ++look) pause->wait(0.1);
      (void)synth(sentence);
    }
  }
}

const std::vector<std::pair<std::string, std::string>>& Kokoro::favourites() {
  static const std::vector<std::pair<std::string, std::string>> voices = {
      {"bm_george", "George"},
      {"bf_emma", "Emma"},
      {"af_heart", "Heart"},
      {"am_michael", "Michael"},
      {"bf_isabella", "Isabella"}};
  return voices;
}

std::vector<std::pair<std::string, std::string>> Kokoro::offered() const {
  MutexLock guard(lock_);
  return offeredLocked();
}

std::vector<std::pair<std::string, std::string>> Kokoro::offeredLocked() const {
  std::vector<std::pair<std::string, std::string>> offered;
  for (const auto& favourite : favourites()) {
    if (std::find(voices_.begin(), voices_.end(), favourite.first) != voices_.end())
      offered.push_back(favourite);
  }
  return offered;
}

// Settings are written by the store on its queue, in order with the player's
// other files (and kept before the program ends): the caller may hold the
// engine's lock.
void Kokoro::keep(const std::string& file, const std::string& text, Store::Kept kept) {
  parts_.store.write("voice/" + file, text, nullptr, std::move(kept));
}

std::optional<std::string> Kokoro::nextVoice(Store::Kept kept) {
  std::optional<std::string> chosen;
  std::string keptAs;
  {
    MutexLock guard(lock_);
    const std::vector<std::pair<std::string, std::string>> offered = offeredLocked();
    std::size_t next = 0;
    if (enabled_) {
      const std::string current = voice_;
      auto at = std::find_if(offered.begin(), offered.end(), [&current](const auto& favourite) {
        return favourite.first == current;
      });
      next = at == offered.end() ? 0 : static_cast<std::size_t>(at - offered.begin()) + 1;
    }
    if (next < offered.size()) {
      enabled_ = true;
      voice_ = offered[next].first;
      chosen = offered[next].second;
      keptAs = voice_;
    } else {
      enabled_ = false;
      keptAs = "mac";
    }
  }
  keep("voice-kokoro.txt", keptAs + "\n", std::move(kept));
  return chosen;
}

std::string Kokoro::name() const {
  MutexLock guard(lock_);
  for (const auto& [id, spoken] : favourites())
    if (id == voice_) return spoken;
  return voice_;
}

double Kokoro::stepRate(int direction, Store::Kept kept) {
  double rate;
  {
    MutexLock guard(lock_);
    rate_ = std::clamp(std::round((rate_ + 0.1 * direction) * 10) / 10, kSlowestKokoroRate,
                       kFastestKokoroRate);
    rate = rate_;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%.1f\n", rate);
  keep("voice-speed.txt", text, std::move(kept));
  return rate;
}

Kokoro::State Kokoro::state() const {
  MutexLock guard(lock_);
  return state_;
}

std::string Kokoro::voice() const {
  MutexLock guard(lock_);
  return voice_;
}

bool Kokoro::enabled() const {
  MutexLock guard(lock_);
  return enabled_;
}

std::vector<std::string> Kokoro::voices() const {
  MutexLock guard(lock_);
  return voices_;
}

double Kokoro::rate() const {
  MutexLock guard(lock_);
  return rate_;
}

}  // namespace orvo
