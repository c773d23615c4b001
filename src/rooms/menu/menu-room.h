#pragma once
// The song menu: the library on the piano's keys, one octave a level and one
// key a song, the jazz course in the octave below. A first press plays the
// start of the song and names it; the same key again starts its lesson. The
// step buttons walk the whole library, the notes button counts it.
//
// Threads: every member with Engine::lock held (the rooms' rule); the
// previews play in activities, under their generation, so the next key cuts
// one off at once.

#include <optional>
#include <string>

#include "engine/room.h"

namespace orvo {

class RoomServices;
class MidiIO;

class MenuRoom final : public Room {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    MidiIO& midi;
  };
  MenuRoom(RoomServices& engine, Parts parts);

  Mode mode() const override { return Mode::menu; }
  void leave() override;
  bool button(int key) override;
  void note(int pitch) override;
  std::string helpText() override;

  // Opens the menu: a take is saved first, everything sounding stops.
  void openMenu();
  // Plays the first seconds of song `index` after its name and level.
  void preview(int index);

 private:
  void announceJazz(int lesson, bool withStart);
  void sendLayout();

  RoomServices& engine_;
  Parts parts_;
  // The index of the song last previewed, found again by title because
  // songs still being read can move it; the current song when none was.
  int pickedSong();

  std::optional<std::string> menuPick_;  // the title of the song last previewed
  std::optional<int> menuJazz_;          // the jazz lesson last announced
};

}  // namespace orvo
