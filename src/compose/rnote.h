#pragma once

namespace orvo {

// One recorded note or controller event. In the note history times are clock
// seconds; in a take they are seconds from the take's first note.
struct RNote {
  double t = 0;
  double end = -1.0;  // -1 while the note is held
  int pitch = 60;
  int vel = 64;  // for a controller event, its value
  int ch = 0;    // the player is always channel 0
  int cc = -1;   // -1 for a note, else the controller number
};

}  // namespace orvo
