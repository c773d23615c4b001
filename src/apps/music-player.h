#pragma once
// The desktop's music player, as far as the spoken "stop" needs it: is it
// playing, and pause it, and what to say about it. Thread-safe.

#include <string>

namespace orvo {

class MusicPlayer {
 public:
  virtual ~MusicPlayer() = default;
  virtual bool playing() = 0;
  // Asks the player to pause; true when it has stopped playing.
  virtual bool pause() = 0;
  // The player's name, as said in a sentence.
  virtual std::string name() = 0;

  // What is said after pause() answered.
  std::string pausedSentence(bool stopped) {
    return stopped ? name() + " is paused."
                   : "I asked " + name() + " to stop, but it's still playing.";
  }
};

// No player is driven on this platform yet: nothing is ever playing.
class NoMusicPlayer final : public MusicPlayer {
 public:
  bool playing() override { return false; }
  bool pause() override { return true; }
  std::string name() override { return "the music player"; }
};

}  // namespace orvo
