#pragma once
// The real engine on a virtual clock, in a temporary data folder of its own,
// for the diagnostic traces (--ears, --route): the player's own files are
// never touched, and every run with the same seed says the same.

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "sound/speech-output.h"

namespace orvo {

class AccessBackend;
class DawAdapter;
class Engine;
class VirtualRuntime;

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
  std::string nextVoice() override { return "No other voices"; }
  float volume() override { return 1.0f; }
  void setVolume(float) override {}

 private:
  VirtualRuntime& runtime_;
  std::function<void(const std::string&)> print_;
  double perCharacter_;
  std::map<std::string, double> seconds_;
  int stops_ = 0;
};

class TraceWorld {
 public:
  struct Options {
    bool asJarvis = false;  // the assistant is called Jarvis
    bool fast = false;      // activities at once, no waits or files
    double secondsPerCharacter = 0.06;
    std::function<void(const std::string&)> saying;  // each sentence spoken
    std::function<void(const std::string&)> earsTrace = nullptr;
    std::function<void(bool)> duck = [](bool) {};
    // The studio the assistant changes, and whether one is in use.
    DawAdapter* daw = nullptr;
    bool pretendReaper = false;
    std::function<bool()> reaperRunning = nullptr;
    // Other apps, for app control; none is no desktop.
    AccessBackend* access = nullptr;
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
  TraceSpeaker& speaker();
  const std::filesystem::path& folder() const { return folder_; }

 private:
  struct Parts;
  std::filesystem::path folder_;
  std::unique_ptr<Parts> parts_;
};

}  // namespace orvo
