#pragma once
// The sound outputs this computer offers (PulseAudio's sinks, which
// PipeWire's pulse server also serves), each by its own name and by the name
// a person knows it by ("USB Audio Headphones").
//
// Threads: any; list() talks to the sound server and waits for it at most
// about a second, so it is never called with a lock held. A watch calls back
// on the sound server's thread of its own.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

struct SoundOutput {
  std::string name;         // the server's name for it, which a stream is opened on
  std::string description;  // the name a person knows
};

class SoundOutputs {
 public:
  virtual ~SoundOutputs() = default;
  // Every output there is now, in the server's order; nothing when no sound
  // server answers.
  virtual std::optional<std::vector<SoundOutput>> list() = 0;

  // `changed` is called whenever an output comes or goes, and when the sound
  // server appears (`serverBack` when it had been there before and went:
  // every stream on it then has to be opened again); the watching ends when
  // the result is destroyed. Nothing where outputs cannot be watched.
  class Watch {
   public:
    virtual ~Watch() = default;
  };
  virtual std::unique_ptr<Watch> watch(std::function<void(bool serverBack)> changed) {
    (void)changed;
    return nullptr;
  }
};

// The outputs of the PulseAudio (or PipeWire) server of this login.
std::unique_ptr<SoundOutputs> makePulseSoundOutputs();

}  // namespace orvo
