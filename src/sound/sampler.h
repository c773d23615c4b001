#pragma once
// The built-in sound as the MIDI link sees it. Any thread.

#include <cstddef>
#include <cstdint>

namespace orvo {

class Sampler {
 public:
  virtual ~Sampler() = default;
  // The sound is built and running.
  virtual bool ready() = 0;
  // Plays one 3-byte channel message.
  virtual void play(const std::uint8_t* bytes, std::size_t size) = 0;
};

}  // namespace orvo
