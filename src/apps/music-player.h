#pragma once
// The desktop's music player, as far as the spoken "stop" needs it: is it
// playing, and pause it. Thread-safe.

namespace orvo {

class MusicPlayer {
 public:
  virtual ~MusicPlayer() = default;
  virtual bool playing() = 0;
  // Asks the player to pause; true when it has stopped playing.
  virtual bool pause() = 0;
};

// No player is driven on this platform yet: nothing is ever playing.
class NoMusicPlayer final : public MusicPlayer {
 public:
  bool playing() override { return false; }
  bool pause() override { return true; }
};

}  // namespace orvo
