#pragma once
// Opens the stream the voice plays on: on the output the player chose for the
// voice; while that is not there (headphones unplugged), on the music's
// chosen output or else the usual one, so the voice is never silent because a
// device went away. Says once that it went, and once that it came back: the
// Speaker says that news after the sentence it happened in.
//
// Threads: any; open() on the speech queue or the voice's playing thread,
// news() on the speaking activity.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/audio/voice-output.h"
#include "sound/output-route.h"

namespace orvo {

class VoiceOutputOpener {
 public:
  // Opens a stream at `rate` on `device` (empty: the usual output); nothing
  // when it cannot.
  using OpenOn = std::function<std::unique_ptr<VoiceOutput>(int rate, const std::string& device)>;
  // A stream opened on a chosen output stays there and breaks when it goes,
  // so opening again is how the voice finds out and moves.
  VoiceOutputOpener(const OutputRoute& route, OpenOn openOn)
      : route_(route), openOn_(std::move(openOn)) {}

  std::unique_ptr<VoiceOutput> open(int rate);
  // The output the voice goes to now, as far as the last opening found: the
  // chosen one, else the music's, else the usual one (empty).
  std::string device() const;
  // The sentence about the voice's output having gone or come back, once each
  // time; asked after each sentence.
  std::optional<std::string> news();

 private:
  const OutputRoute& route_;
  OpenOn openOn_;
  std::atomic<bool> away_{false};  // the voice is not on its chosen output
  std::atomic<int> news_{0};       // 0 none, 1 gone, 2 back
};

}  // namespace orvo
