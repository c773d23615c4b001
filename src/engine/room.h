#pragma once
// A mode of the engine as an object (home, talk, the lesson, composition,
// jazz, the song menu, the two studios), each in its own folder under rooms/
// but home's. A room owns the state of its mode and puts all of it back to
// rest in leave(), so going home is one walk over the rooms.
//
// Threads: every member is called with Engine::lock held, from the MIDI
// thread, the key reader, timers or activities. Nothing here may block.

#include <string>

#include "engine/mode.h"

namespace orvo {

class Room {
 public:
  virtual ~Room() = default;

  virtual Mode mode() const = 0;
  // The engine has switched to this mode.
  virtual void enter() {}
  // The mode is left (or the player went home): drop everything it holds.
  virtual void leave() = 0;
  // A button; true when this mode took it.
  virtual bool button(int) { return false; }
  // A musical key pressed (never a button).
  virtual void note(int) {}
  // The stop key; true when this mode took it (a lesson pauses).
  virtual bool stop() { return false; }
  // What the help key says here.
  virtual std::string helpText() = 0;
};

}  // namespace orvo
