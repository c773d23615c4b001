#pragma once
// Orvo hearing its name through the microphone: the microphone's blocks go
// to the recogniser, whose partial and final results go to the engine as
// "~ear 0 ..." and "~ear 1 ..." lines, with the level every 100 ms as
// "~lvl ...". The recogniser's language model is made from the engine's own
// phrases and its vocabulary, and made again when the engine sends a new
// name or vocabulary. A microphone that goes away is looked for again every
// two seconds, and said once.
//
// Threads: a listening thread of its own does the reading and recognising;
// engineLine() may be called from any thread.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "window/own-sound-gate.h"

namespace orvo::window {

class SpeechRecogniser;

class Listener {
 public:
  struct Parts {
    std::function<void(const std::string& bytes)> send;     // to the engine
    std::function<void(const std::string& sentence)> tell;  // to the caption area
    std::vector<std::string> phrases;                       // every request phrase the engine knows
    std::string microphone;            // a source by name; the default when empty
    std::filesystem::path workFolder;  // private: the model files are made here
    // Every result and every trouble, one line each, for a test or a bench
    // that needs to know what was heard; nothing when unset.
    std::function<void(const std::string& line)> trace = nullptr;
    // What the microphone gave, as raw 16 kHz samples, for replaying; none when empty.
    std::filesystem::path record = {};
  };

  explicit Listener(Parts parts);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  void start();
  // A line the engine sent the window ("@name", "@vocab", "@earreset",
  // "@say", "@start", "@out").
  void engineLine(std::string_view line);

 private:
  using Clock = std::chrono::steady_clock;
  void listen();
  // Makes the model files for the current name and vocabulary, and opens a
  // recogniser on them; nothing (and the window told) when it cannot.
  std::unique_ptr<SpeechRecogniser> makeRecogniser();
  bool orvoSounding();

  Parts parts_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};

  std::mutex mutex_;
  std::string name_ = "Orvo";
  std::string vocabulary_;
  bool modelChanged_ = true;
  bool heardVocabulary_ = false;  // the engine's words have come: the model can be made
  bool resetAsked_ = false;
  Clock::time_point soundingUntil_{};
  std::size_t captionLength_ = 0;
  int notesOut_ = 0;
  OwnSoundGate gate_;
};

}  // namespace orvo::window
