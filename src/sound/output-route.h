#pragma once
// Where Orvo's voice and its music go: the sound output the player chose for
// each (the server's name for it), or none for the computer's usual output.
// Kept in "outputs.json" so the choice outlives the run.
//
// Threads: any; the streams read it as they open, the requests change it.

#include <mutex>
#include <optional>
#include <string>

namespace orvo {

struct OutputChoice {
  std::string voice;  // empty: the usual output, through speech-dispatcher
  std::string music;  // empty: the usual output
  // The music turned down while the voice speaks; none: only while both share
  // one output, where the voice would otherwise be hard to hear over it.
  std::optional<bool> duck;

  // Where the voice and the music go is the same as in `other` (ducking aside).
  bool samePlaces(const OutputChoice& other) const {
    return voice == other.voice && music == other.music;
  }
  bool duckMusic() const { return duck.value_or(voice.empty() || voice == music); }

  // As "outputs.json" holds it.
  std::string json() const;
  // From "outputs.json"; a missing or garbled file is no choice at all.
  static OutputChoice fromJson(const std::optional<std::string>& text);
  bool operator==(const OutputChoice&) const = default;
};

class OutputRoute {
 public:
  explicit OutputRoute(OutputChoice choice = {}) : choice_(std::move(choice)) {}
  OutputChoice get() const {
    std::lock_guard guard(mutex_);
    return choice_;
  }
  void set(OutputChoice choice) {
    std::lock_guard guard(mutex_);
    choice_ = std::move(choice);
  }
  // The voice has an output of its own.
  bool voiceApart() const { return !get().voice.empty(); }

 private:
  mutable std::mutex mutex_;
  OutputChoice choice_;
};

}  // namespace orvo
