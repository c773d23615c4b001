#include "diagnostics/trace-world.h"

#include "sound/output-route.h"

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "apps/music-player.h"
#include "doubles/failable-store.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "engine/requests.h"
#include "platform/files.h"
#include "platform/midi/loopback/loopback-midi-backend.h"
#include "platform/random.h"
#include "studio/studio-host.h"

namespace orvo {

TraceSpeaker::TraceSpeaker(VirtualRuntime& runtime, std::function<void(const std::string&)> print,
                           double secondsPerCharacter)
    : runtime_(runtime), print_(std::move(print)), perCharacter_(secondsPerCharacter) {}

void TraceSpeaker::say(const std::string& text, SpeechTicket ticket) {
  if (!ticket.current()) return;
  print_(text);
  auto given = seconds_.find(text);
  double seconds =
      given != seconds_.end() ? given->second : perCharacter_ * static_cast<double>(text.size());
  if (seconds <= 0) return;
  int stopsBefore = stops_;
  runtime_.runUntil(runtime_.now() + seconds, [&] { return stops_ != stopsBefore; });
}

std::tm TraceWorld::afternoon() {
  std::tm local{};
  local.tm_year = 126;
  local.tm_mon = 0;
  local.tm_mday = 5;
  local.tm_wday = 1;
  local.tm_hour = 15;
  return local;
}

struct TraceWorld::Parts {
  Parts(const std::filesystem::path& folder, const Options& options)
      : runtime(options.seed.value_or(Random::chooseSeed()), TraceWorld::start),
        used(options.realRuntime ? *options.realRuntime : runtime),
        window(used.serial("lorimel.ui"), options.windowLines, options.windowBytes),
        log(folder / "log.txt"),
        traceSpeaker(runtime, options.saying, options.secondsPerCharacter),
        store(folder, used, used.serial("orvo.store")),
        midi(
            options.midiBackend ? *options.midiBackend : midiBackend, used,
            [this](const std::string& line) { window.ui(line); }, options.midiLines),
        sounds({.runtime = used,
                .store = store,
                .log = [this](const std::string& line) { log.logLine(line); },
                .banks = {}}) {}
  VirtualRuntime runtime;
  Runtime& used;  // the virtual one unless real threads were asked for
  Window window;
  Log log;
  TraceSpeaker traceSpeaker;
  NoMusicPlayer player;
  NoStudioHost studio;
  FailableStore store;
  LoopbackMidiBackend midiBackend;
  MidiIO midi;
  Sounds sounds;
  OutputRoute route;  // no sound server here: the voice and the music stay together
};

TraceWorld::TraceWorld(Options options) : options_(std::move(options)) {
  folder_ = options_.folder;
  if (folder_.empty()) {
    char pattern[] = "/tmp/orvo-trace-XXXXXX";
    if (!::mkdtemp(pattern)) return;
    folder_ = pattern;
    ownFolder_ = true;
  }
  if (options_.asJarvis) {
    Profile jarvis;
    jarvis.assistantName = "Jarvis";
    files::writeFileAtomically(folder_ / "profile.json", jarvis.text());
  }
  // A player whose 88-key piano's top key is already known.
  files::writeFileAtomically(folder_ / "top-key.txt", "108\n");
  parts_ = std::make_unique<Parts>(folder_, options_);
  engine_ = makeEngine();
}

TraceWorld::~TraceWorld() {
  if (parts_) parts_->runtime.discardPending();
  if (parts_ && options_.realRuntime) {
    // On real threads, the engine's activities return and the store and the
    // window finish what they were given before any of them goes.
    while (engine_ && engine_->activitiesRunning() > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (const char* queue : {"orvo.store", "lorimel.ui"}) {
      std::promise<void> done;
      parts_->used.serial(queue).post([&done] { done.set_value(); });
      done.get_future().wait_for(std::chrono::seconds(5));
    }
  }
  engine_.reset();
  parts_.reset();
  if (!ownFolder_) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::unique_ptr<Engine> TraceWorld::makeEngine(const std::function<void(EngineParts&)>& more) {
  Parts& p = *parts_;
  EngineParts parts{
      .runtime = p.used,
      .window = p.window,
      .log = p.log,
      .speaker = options_.speaker ? *options_.speaker : p.traceSpeaker,
      .musicPlayer = options_.musicPlayer ? *options_.musicPlayer : p.player,
      .studio = options_.studio ? *options_.studio : p.studio,
      .midi = p.midi,
      .sounds = p.sounds,
      .store = p.store,
      .baseDir = folder_,
      .opt = options_.opt,
      .outputRoute = &p.route,
  };
  if (options_.adjust) options_.adjust(parts);
  if (more) more(parts);
  auto made = std::make_unique<Engine>(std::move(parts));
  if (options_.sameAfternoon) made->requests().setClock(TraceWorld::afternoon);
  return made;
}

void TraceWorld::restartEngine() {
  parts_->runtime.runReady();
  engine_.reset();
  parts_->runtime.discardPending();
  engine_ = makeEngine();
}

void TraceWorld::closeEngine() {
  parts_->runtime.discardPending();
  engine_.reset();
}

VirtualRuntime& TraceWorld::runtime() {
  return parts_->runtime;
}

Engine& TraceWorld::engine() {
  return *engine_;
}

TraceSpeaker& TraceWorld::speaker() {
  return parts_->traceSpeaker;
}

Window& TraceWorld::window() {
  return parts_->window;
}

Log& TraceWorld::log() {
  return parts_->log;
}

FailableStore& TraceWorld::store() {
  return parts_->store;
}

LoopbackMidiBackend& TraceWorld::midiBackend() {
  return parts_->midiBackend;
}

MidiIO& TraceWorld::midi() {
  return parts_->midi;
}

Sounds& TraceWorld::sounds() {
  return parts_->sounds;
}

}  // namespace orvo
