#pragma once
// Something that hears the piano's musical notes (never the buttons). The
// engine keeps its listeners in one ordered list and gives each note to them
// in turn, from the MIDI thread with its lock held: quick, no allocation.

namespace orvo {

class NoteListener {
 public:
  // A note (velocity 0: its release). True when this listener took it, so
  // those after it in the list never hear it.
  virtual bool hearNote(int pitch, int velocity) = 0;

 protected:
  ~NoteListener() = default;
};

}  // namespace orvo
