#pragma once
// The synthesiser on Linux: speech-dispatcher, which blind users already run
// for their screen reader, with their own synthesiser, voice and rate. Begin,
// end and cancel notifications play the delegate; SSML marks before each word
// tell which word is being spoken.
//
// speech-dispatcher's callbacks carry no context, so there is one instance.

#include <map>
#include <mutex>

#include "platform/speech/speech-synth.h"

namespace orvo {

class SpeechDispatcherSynth final : public SpeechSynth {
 public:
  SpeechDispatcherSynth();
  ~SpeechDispatcherSynth() override;

  void setDelegate(Delegate* delegate) override;
  bool available() override;
  std::vector<SynthVoice> voices() override;
  void speak(const SynthUtterance& utterance) override;
  void stopSpeaking() override;

  // Called from speech-dispatcher's thread.
  void notify(std::size_t messageId, int event, const char* mark);

 private:
  struct Spoken {
    std::uint64_t id;
    std::vector<std::string> words;
  };
  void deliver(const Spoken& spoken, int event, const char* mark);

  std::mutex mutex_;
  void* connection_ = nullptr;  // an SPDConnection, which cannot be declared ahead
  Delegate* delegate_ = nullptr;
  std::map<std::size_t, Spoken> spoken_;  // by speech-dispatcher's message id
  // Events that came before speak() learnt their message id.
  std::vector<std::tuple<std::size_t, int, std::string>> early_;
};

}  // namespace orvo
