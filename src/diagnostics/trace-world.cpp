#include "diagnostics/trace-world.h"

#include <cstdlib>

#include "apps/music-player.h"
#include "doubles/virtual-runtime.h"
#include "engine/engine.h"
#include "engine/requests.h"
#include "platform/file-store.h"
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
      : runtime(Random::chooseSeed(), TraceWorld::start),
        window(runtime.serial("lorimel.ui"), false, [](std::string_view) {}),
        log(folder / "log.txt"),
        speaker(runtime, options.saying, options.secondsPerCharacter),
        store(folder, runtime, runtime.serial("orvo.store")),
        midi(
            midiBackend, runtime, [](const std::string&) {}, false),
        sounds({.runtime = runtime,
                .store = store,
                .log = [this](const std::string& line) { log.logLine(line); },
                .banks = {}}),
        engine(EngineParts{
            .runtime = runtime,
            .window = window,
            .log = log,
            .speaker = speaker,
            .musicPlayer = player,
            .studio = studio,
            .midi = midi,
            .sounds = sounds,
            .store = store,
            .baseDir = folder,
            .opt = Opt{.textMode = true, .fast = options.fast},
            .duck = options.duck,
            .daw = options.daw,
            .reaperRunning = options.reaperRunning,
            .pretendReaper = options.pretendReaper,
            .access = options.access,
            .earsTrace = options.earsTrace,
        }) {
    engine.requests().setClock(TraceWorld::afternoon);
  }
  VirtualRuntime runtime;
  Window window;
  Log log;
  TraceSpeaker speaker;
  NoMusicPlayer player;
  NoStudioHost studio;
  FileStore store;
  LoopbackMidiBackend midiBackend;
  MidiIO midi;
  Sounds sounds;
  Engine engine;
};

TraceWorld::TraceWorld(Options options) {
  char pattern[] = "/tmp/orvo-trace-XXXXXX";
  if (!::mkdtemp(pattern)) return;
  folder_ = pattern;
  if (options.asJarvis) {
    Profile jarvis;
    jarvis.assistantName = "Jarvis";
    files::writeFileAtomically(folder_ / "profile.json", jarvis.text());
  }
  files::writeFileAtomically(folder_ / "top-key.txt", "108\n");
  parts_ = std::make_unique<Parts>(folder_, options);
}

TraceWorld::~TraceWorld() {
  if (parts_) parts_->runtime.discardPending();
  parts_.reset();
  if (folder_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

VirtualRuntime& TraceWorld::runtime() {
  return parts_->runtime;
}

Engine& TraceWorld::engine() {
  return parts_->engine;
}

TraceSpeaker& TraceWorld::speaker() {
  return parts_->speaker;
}

}  // namespace orvo
