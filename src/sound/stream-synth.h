#pragma once
// The platform voice on an output of its own: each sentence rendered by
// espeak-ng's library in this process and played on a stream of ours, so
// Orvo's voice can go to one sound output while the music plays on another
// (speech-dispatcher has one output for all its clients). It reports to the
// Speaker as speech-dispatcher does (start, each word, finish, cancel, every
// sentence in the order given), so
// the captions, the word lines, the cut-off and the 3 s and stall rules are
// the same. It speaks like the player's own voice: their language, voice type
// and rate as speech-dispatcher tells them. A sentence is rendered a clause
// at a time, the next while the one before plays, so the first sound comes
// as soon as the first clause is ready. A stream that breaks part-way (the
// output went away) is opened again, and the sentence goes on from where it
// broke off.
//
// Threads: speak() and stopSpeaking() on the speech queue (stopSpeaking()
// also from any thread); the sound plays on a thread of its own, and the
// delegate is called from there.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/voice-output.h"
#include "platform/speech/espeak/espeak-voice.h"
#include "platform/speech/speech-synth.h"

namespace orvo {

class StreamSynth final : public SpeechSynth {
 public:
  // Opens the stream a sentence plays on, at `rate` samples a second; nothing
  // when no output can be opened.
  using OpenOutput = std::function<std::unique_ptr<VoiceOutput>(int rate)>;
  // The player's speech settings, asked for each sentence; none: espeak-ng's
  // default English at speech-dispatcher's normal rate.
  using Settings = std::function<PlayerSpeech()>;
  explicit StreamSynth(OpenOutput openOutput, Settings settings = {});
  ~StreamSynth() override;
  StreamSynth(const StreamSynth&) = delete;
  StreamSynth& operator=(const StreamSynth&) = delete;

  void setDelegate(Delegate* delegate) override { delegate_ = delegate; }
  bool connect() override { return true; }
  bool connected() override { return true; }
  std::vector<SynthVoice> voices() override { return {}; }
  // Renders the sentence and opens its stream before it returns: false when
  // either cannot be done, so the Speaker hands the sentence on at once.
  bool speak(const SynthUtterance& utterance) override;
  void stopSpeaking() override;

 private:
  struct Sentence {
    SynthUtterance utterance;
    EspeakVoice voice;
    std::vector<std::string> clauses;
    std::vector<std::int16_t> firstClause;  // rendered before speak() returned
    int rate = 0;
    std::unique_ptr<VoiceOutput> output;
    std::uint64_t stops = 0;  // the stops asked for before it: a later one cancels it
  };
  void loop();
  // Plays the sentence to its end; false when a stop cut it off.
  bool play(Sentence& sentence, std::uint64_t stopsAtStart);

  OpenOutput openOutput_;
  Settings settings_;
  std::atomic<Delegate*> delegate_{nullptr};
  std::atomic<std::uint64_t> stops_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  // Sentences wait their turn, as with speech-dispatcher: two callers speaking
  // at once are heard one after the other, and a stop cancels every one.
  std::deque<Sentence> waiting_;  // guarded by mutex_
  bool quit_ = false;             // guarded by mutex_
  std::thread thread_;
};

}  // namespace orvo
