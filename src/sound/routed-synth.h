#pragma once
// The platform voice's synthesiser chosen by where the voice goes: speech-
// dispatcher while the voice shares the computer's usual output, our own
// stream (StreamSynth) while the player has given the voice an output of its
// own. Both hear every stop, so a change of route never leaves one talking.
//
// Threads: as SpeechSynth.

#include <functional>

#include "platform/speech/speech-synth.h"

namespace orvo {

class RoutedSynth final : public SpeechSynth {
 public:
  RoutedSynth(SpeechSynth& shared, SpeechSynth& own, std::function<bool()> voiceApart)
      : shared_(shared), own_(own), voiceApart_(std::move(voiceApart)) {}

  void setDelegate(Delegate* delegate) override {
    shared_.setDelegate(delegate);
    own_.setDelegate(delegate);
  }
  // speech-dispatcher is opened even while our stream speaks: the player's
  // rate, language and voice type come from it.
  bool connect() override {
    const bool shared = shared_.connect();
    return voiceApart_() ? own_.connect() : shared;
  }
  bool connected() override { return now().connected(); }
  // The player's voices are speech-dispatcher's, wherever the voice goes.
  std::vector<SynthVoice> voices() override { return shared_.voices(); }
  bool speak(const SynthUtterance& utterance) override { return now().speak(utterance); }
  PlayerSpeech playerSpeech() override { return shared_.playerSpeech(); }
  void stopSpeaking() override {
    shared_.stopSpeaking();
    own_.stopSpeaking();
  }

 private:
  SpeechSynth& now() { return voiceApart_() ? own_ : shared_; }

  SpeechSynth& shared_;
  SpeechSynth& own_;
  std::function<bool()> voiceApart_;
};

}  // namespace orvo
