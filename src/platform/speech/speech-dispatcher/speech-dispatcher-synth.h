#pragma once
// The synthesiser on Linux: speech-dispatcher, which blind users already run
// for their screen reader, with their own synthesiser, voice and rate. Begin,
// end and cancel notifications play the delegate; SSML marks before each word
// tell which word is being spoken.
//
// Nothing is opened until the first connect(), so start-up never waits on the
// service. The voice list comes over a link of its own: a frozen speech module
// can hold that call for ever without holding up speech.
//
// speech-dispatcher's callbacks carry no context, so there is one instance.

#include <atomic>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/speech/speech-synth.h"
#include "platform/speech/word-marks.h"

namespace orvo {

class SpeechDispatcherSynth final : public SpeechSynth {
 public:
  SpeechDispatcherSynth();
  ~SpeechDispatcherSynth() override;

  void setDelegate(Delegate* delegate) override;
  bool connect() override;
  bool connected() override;
  std::vector<SynthVoice> voices() override;
  bool speak(const SynthUtterance& utterance) override;
  void stopSpeaking() override;
  PlayerSpeech playerSpeech() override;

  // Called from speech-dispatcher's thread.
  void notify(std::size_t messageId, int event, const char* mark);

 private:
  struct Spoken {
    std::uint64_t id;
    WordMarks words;
  };
  void close();

  std::mutex mutex_;
  // An SPDConnection, replaced on the speech queue only; read from any thread
  // by stopSpeaking on the way out (an old link is never freed, so it stays valid).
  std::atomic<void*> connection_{nullptr};
  std::atomic<int> socket_{-1};  // its socket, for connected() from any thread
  Delegate* delegate_ = nullptr;
  PlayerSpeech playerSpeech_;             // guarded by mutex_
  std::map<std::size_t, Spoken> spoken_;  // by speech-dispatcher's message id
  // Events that came before speak() learnt their message id.
  std::vector<std::tuple<std::size_t, int, std::string>> early_;
};

}  // namespace orvo
