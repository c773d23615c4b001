#pragma once
// The real engine, on a virtual clock in a temporary data folder of its own
// unless given others, for the diagnostic traces (--ears, --route), the tests and the benchmarks:
// the player's own files are never touched, and every run with the same seed
// says the same.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/opt.h"
#include "sound/speech-output.h"

namespace orvo {

class Engine;
class FailableStore;
class LoopbackMidiBackend;
class Log;
class MidiBackend;
class MidiIO;
class MusicPlayer;
class Runtime;
class StudioHost;
class Sounds;
class VirtualRuntime;
class Window;
struct EngineParts;

// Says each sentence by printing it and letting virtual time pass while it is
// "spoken": events that fall inside the sentence happen during it, and a stop
// ends it there.
class TraceSpeaker final : public SpeechOutput {
 public:
  TraceSpeaker(VirtualRuntime& runtime, std::function<void(const std::string&)> print,
               double secondsPerCharacter);

  // How long the sentence takes the next times it is said.
  void lasts(const std::string& sentence, double seconds) { seconds_[sentence] = seconds; }

  void say(const std::string& text, SpeechTicket ticket) override;
  void stop() override { ++stops_; }
  void silenceNow() override { stop(); }
  std::string voiceName() override { return ""; }
  std::string nextVoice(Store::Kept kept) override {
    if (kept) kept(std::nullopt);
    return "No other voices";
  }
  float volume() override { return 1.0f; }
  void setVolume(float) override {}

 private:
  VirtualRuntime& runtime_;
  std::function<void(const std::string&)> print_;
  double perCharacter_;
  std::map<std::string, double> seconds_;
  int stops_ = 0;
};

// The one assembly of an engine outside main: the traces, the tests and the
// benchmarks all build theirs here, each changing only what it needs.
class TraceWorld {
 public:
  struct Options {
    bool asJarvis = false;  // the assistant is called Jarvis
    // Text mode (nothing spoken for real); `fast`: activities at once, no waits or files.
    Opt opt = {.textMode = true};
    double secondsPerCharacter = 0.06;
    std::function<void(const std::string&)> saying = [](const std::string&) {};  // each sentence
    // The data folder; none: a temporary one of the world's own, removed at the end.
    std::filesystem::path folder = {};
    std::optional<std::uint64_t> seed = std::nullopt;  // none: ORVO_SEED's, else a new one
    // Who says the sentences; none: the world's TraceSpeaker.
    SpeechOutput* speaker = nullptr;
    // The music player and the studio the engine looks at; none: neither is there.
    MusicPlayer* musicPlayer = nullptr;
    StudioHost* studio = nullptr;
    // The window's bytes, and whether it sends its lines at all.
    bool windowLines = false;
    std::function<void(std::string_view)> windowBytes = [](std::string_view) {};
    bool midiLines = false;  // the MIDI link's own window lines too, as the program sends them
    // Real threads and a real MIDI link in place of the virtual clock and the
    // loopback (the note path's tests and benchmarks); runtime() is then unused.
    Runtime* realRuntime = nullptr;
    MidiBackend* midiBackend = nullptr;
    // The same afternoon for the clock and the greetings; else the real local time.
    bool sameAfternoon = true;
    // The last say over each engine's parts: a test's doubles, a trace's studio.
    std::function<void(EngineParts&)> adjust = nullptr;
  };

  // Seconds on the virtual clock when the world begins.
  static constexpr double start = 1000.0;
  // The same afternoon every run, so greetings do not follow the wall clock.
  static std::tm afternoon();

  explicit TraceWorld(Options options);
  ~TraceWorld();
  TraceWorld(const TraceWorld&) = delete;
  TraceWorld& operator=(const TraceWorld&) = delete;

  // False when no temporary folder could be made; nothing else may be used then.
  bool ready() const { return parts_ != nullptr; }
  VirtualRuntime& runtime();
  Engine& engine();
  // Another engine over the same parts and folder, beside the world's own.
  std::unique_ptr<Engine> makeEngine(const std::function<void(EngineParts&)>& more = nullptr);
  // A new run of the program over the same folder: what the store has queued
  // is kept, the old engine and its pending work are gone.
  void restartEngine();
  // The engine gone before what it was lent (a test's locals); nothing may use it after.
  void closeEngine();
  TraceSpeaker& speaker();
  Window& window();
  Log& log();
  FailableStore& store();
  LoopbackMidiBackend& midiBackend();
  MidiIO& midi();
  Sounds& sounds();
  const std::filesystem::path& folder() const { return folder_; }

 private:
  struct Parts;
  Options options_;
  std::filesystem::path folder_;
  bool ownFolder_ = false;
  std::unique_ptr<Parts> parts_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace orvo
