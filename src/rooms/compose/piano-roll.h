#pragma once
// Playing a MIDI file on the window's piano roll ("play" and a path typed):
// every note of the file on its own channel, shown as "rollnew" and "rolln"
// lines while it plays, and "rollstop" when it ends or is cut off.
//
// Threads: playFile runs with the engine lock held and reads the file in an
// activity.

#include <filesystem>
#include <string>
#include <vector>

#include "compose/roll-reader.h"
#include "sound/ev.h"

namespace orvo {

class RoomServices;

class PianoRoll {
 public:
  // The longest roll line, so the window never has to take a huge one.
  static constexpr std::size_t maxLineBytes = 16000;

  explicit PianoRoll(RoomServices& engine);

  void playFile(const std::filesystem::path& file);

  // The window lines for a file's notes: "rollnew ..." then "rolln ...".
  static std::vector<std::string> rollLines(const std::vector<RollNote>& notes);
  // The notes as timed messages on their own channels.
  static std::vector<Ev> rollEvents(const std::vector<RollNote>& notes);

 private:
  RoomServices& engine_;
};

}  // namespace orvo
