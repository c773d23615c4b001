#pragma once
// Everything the system says. Prefers the platform synthesiser (speech-
// dispatcher: the player's own voice and rate). Every sentence must begin
// within 3 s and keep moving; when the service fails, dies or hangs, the link
// is opened again once and the command-line tool (espeak-ng) speaks that
// sentence (from the word it broke off at) and every sentence after it, until
// a silent test sentence shows the service answers again. With no sound
// output at all, or when the tool cannot speak either, the sentence is
// printed. Each say() blocks until the sentence is done, so activities speak
// sentence after sentence in order; stop() releases every waiting caller at
// once. Sends the caption "say ..." before the sound, "start" when it begins
// and the words as they are spoken.
//
// Threads: say() on activity threads only (never the main queue); stop() and
// nextVoice() from any thread; the synthesiser is driven from the serial
// queue "orvo.speech" (a frozen service blocks that queue, never the main
// loop); its delegate calls only note progress and signal waiters.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/mutex.h"
#include "platform/opt.h"
#include "platform/runtime.h"
#include "platform/speech/speech-synth.h"
#include "platform/speech/speech-tool.h"
#include "platform/store.h"
#include "sound/speech-output.h"

namespace orvo {

class Kokoro;
class VoiceMeter;

class Speaker final : public SpeechOutput, private SpeechSynth::Delegate {
 public:
  struct Parts {
    Runtime& runtime;
    const Opt& opt;
    SpeechSynth& synth;
    SpeechTool& tool;
    std::function<void(const std::string&)> ui;     // a window line
    bool uiOn = false;                              // the window is attached
    std::function<void(const std::string&)> print;  // a plain line on standard output
    Store& store;                                   // "voice.txt"
    VoiceMeter* meter = nullptr;
    std::function<void(const std::string&)> log = {};
    // Whether anything can be heard at all; asked before every sentence.
    std::function<bool()> outputPresent = {};
    std::string language = "en";  // the player's language: which voices are offered
    // The natural voice, preferred while it is usable; none in text mode.
    Kokoro* neural = nullptr;
    // A sentence to say after the one just said (the voice's output went or
    // came back); none when nothing happened.
    std::function<std::optional<std::string>()> news = {};
    // Told as each spoken sentence is about to begin (true) and once it has
    // ended (false): the music may go down meanwhile.
    std::function<void(bool talking)> talking = {};
  };

  // The rules, in seconds.
  static constexpr double beginLimit = 3.0;     // a sentence must begin within this
  static constexpr double stallLimit = 4.0;     // ... and reach its next word within this
  static constexpr double longestWait = 123.0;  // a sentence never holds its caller longer
  static constexpr double firstRetry = 5.0;     // the service is tried again after this,
  static constexpr double latestRetry = 60.0;   // ... doubling up to this

  explicit Speaker(Parts parts);
  ~Speaker() override;

  void say(const std::string& text, SpeechTicket ticket = {}) override;
  void stop() override;
  void silenceNow() override;
  std::string voiceName() override;
  float volume() override { return volume_; }
  void setVolume(float volume) override { volume_ = volume; }

  // Switches to the next voice and returns the words that name it: the
  // natural voice's favourites first, then the platform's voices.
  std::string nextVoice(Store::Kept kept = nullptr) override;
  std::optional<double> stepRate(int direction, Store::Kept kept = nullptr) override;
  // The natural voice is the one speaking.
  bool usingFastVoice();

  // Asks the service for its voices in the background; nothing waits for
  // them, and the log tells when they did not come within `limit` seconds.
  void loadVoices(double limit);

  // The tool speaks, because the synthesiser failed.
  bool usingTool();

  // The voices offered: the player's own default first, then one voice for
  // each region of the language, then the other voices of that language.
  static std::vector<SynthVoice> voiceChoices(const std::vector<SynthVoice>& all,
                                              const std::string& language);
  // A voice's name as a person says it: "English (Great Britain)+Adam" is
  // "British English, Adam".
  static std::string spokenVoiceName(const std::string& name);

 private:
  struct Pending {
    std::shared_ptr<Semaphore> done;
    double asked = 0;
    double lastEvent = 0;
    bool begun = false;
    std::size_t words = 0;  // words reached
    std::string failure;    // the service could not take it
  };

  // One sentence, by the natural voice, the synthesiser, the tool or in print.
  void sayOne(const std::string& text, SpeechTicket ticket);
  // Why a sentence given to the synthesiser broke off, and the words not yet said.
  struct Broken {
    std::string why;
    std::string rest;
  };
  // Waits while the synthesiser says sentence `id`: nothing when it ended, was
  // stopped or waited its longest; otherwise why it broke off.
  std::optional<Broken> watch(std::uint64_t id, const std::string& text, Semaphore& done,
                              std::uint64_t stopsAtStart) EXCLUDES(lock_);
  void synthDidStart(std::uint64_t id) override;
  void synthWillSpeakWord(std::uint64_t id, const std::string& word) override;
  void synthDidFinish(std::uint64_t id) override;
  void synthDidCancel(std::uint64_t id) override;
  void release(std::uint64_t id);
  void sayWithProcess(const std::string& text);
  // Runs on the speech queue: starts the sentence unless it was stopped meanwhile.
  void startOnQueue(const SynthUtterance& utterance);
  // On the speech queue: the link is open, opening it the first time it is needed.
  bool linkUp();
  // On the speech queue: opens the link (again), and remembers it was open once.
  bool openLink();
  void fail(std::uint64_t id, const std::string& why);
  // The synthesiser failed: the tool speaks from now on, and the link is opened again once.
  void switchToTool(const std::string& why);
  // In the background: a silent sentence; when it begins, the synthesiser speaks again.
  void probeLater();
  void probe();
  void log(const std::string& line);

  Parts parts_;
  SerialQueue& speech_;
  std::atomic<float> volume_{1.0f};
  // stop() runs on the note path: it wakes this rather than post (which allocates).
  std::shared_ptr<Wakeup> stopSynth_;
  // A stop the speech queue has not passed on yet: it goes before the next
  // sentence, so a late cancel can never cut off the sentence after it.
  std::atomic<bool> cancelPending_{false};
  Mutex lock_;
  std::map<std::uint64_t, Pending> waiting_ GUARDED_BY(lock_);
  bool everConnected_ GUARDED_BY(lock_) = false;
  bool marksSeen_ GUARDED_BY(lock_) = false;  // the service reports words
  bool useProcess_ GUARDED_BY(lock_) = false;
  double nextProbe_ GUARDED_BY(lock_) = 0;
  double probeGap_ GUARDED_BY(lock_) = firstRetry;
  bool probing_ GUARDED_BY(lock_) = false;
  std::uint64_t probeId_ GUARDED_BY(lock_) = 0;
  bool probeBegun_ GUARDED_BY(lock_) = false;
  std::uint64_t stops_ GUARDED_BY(lock_) = 0;
  std::uint64_t nextId_ GUARDED_BY(lock_) = 1;
  bool voicesLoaded_ GUARDED_BY(lock_) = false;
  std::vector<SynthVoice> voices_ GUARDED_BY(lock_);
  std::optional<SynthVoice> voice_ GUARDED_BY(lock_);
};

}  // namespace orvo
