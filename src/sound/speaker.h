#pragma once
// Everything the system says. Prefers the platform synthesiser (speech-
// dispatcher: the player's own voice and rate); if the synthesiser never
// starts a sentence within 3 s, switches for good to the command-line tool;
// if the tool cannot speak either, prints the sentence. Each say() blocks
// until the sentence is done, so activities speak sentence after sentence in
// order; stop() releases every waiting caller at once. Sends the caption
// "say ..." before the sound, "start" when it begins and the words as they
// are spoken.
//
// Threads: say() on activity threads only (never the main queue); stop() and
// nextVoice() from any thread; the synthesiser is driven from the main queue
// and its delegate calls only signal waiters.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
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
  };

  explicit Speaker(Parts parts);
  ~Speaker() override;

  void say(const std::string& text, SpeechTicket ticket = {}) override;
  void stop() override;
  void silenceNow() override;
  std::string voiceName() override;
  float volume() override { return volume_; }
  void setVolume(float volume) override { volume_ = volume; }

  // Switches to the next English voice and returns the words that name it.
  std::string nextVoice() override;

  // The synthesiser never started, and the tool speaks from now on.
  bool usingTool();

  // English voices, best first, en-US first among equals.
  static std::vector<SynthVoice> englishVoices(std::vector<SynthVoice> all);

 private:
  void synthDidStart(std::uint64_t id) override;
  void synthWillSpeakWord(std::uint64_t id, const std::string& word) override;
  void synthDidFinish(std::uint64_t id) override;
  void synthDidCancel(std::uint64_t id) override;
  void release(std::uint64_t id);
  void sayWithProcess(const std::string& text);
  // Starts the sentence on the main queue unless it was stopped meanwhile.
  void startOnMain(const SynthUtterance& utterance);

  Parts parts_;
  std::atomic<float> volume_{1.0f};
  // stop() runs on the note path: it wakes this rather than post (which allocates).
  std::shared_ptr<Wakeup> stopSynth_;
  Mutex lock_;
  std::map<std::uint64_t, std::shared_ptr<Semaphore>> waiting_ GUARDED_BY(lock_);
  bool startedAny_ GUARDED_BY(lock_) = false;
  bool useProcess_ GUARDED_BY(lock_) = false;
  std::uint64_t stops_ GUARDED_BY(lock_) = 0;
  std::uint64_t nextId_ GUARDED_BY(lock_) = 1;
  std::vector<SynthVoice> voices_ GUARDED_BY(lock_);
  std::optional<SynthVoice> voice_ GUARDED_BY(lock_);
};

}  // namespace orvo
