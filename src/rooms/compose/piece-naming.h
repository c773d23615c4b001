#pragma once
// Naming a piece by typing on the computer keyboard (two quick presses of the
// top key in composition mode), or by voice ("save that as Blues for Ann").
// While a name is being typed every byte from the keyboard comes here.
//
// Threads: active() may be read from any thread without a lock (the listener
// reads it). Every other member runs with the engine lock held; the save
// itself runs in an activity.

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "app/typed-entry.h"
#include "compose/rnote.h"
#include "platform/opt.h"

namespace orvo {

class RoomServices;
class Window;

class PieceNaming {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Window& window;
    Opt opt;
  };
  PieceNaming(RoomServices& engine, Parts parts);

  bool active() const { return active_; }

  // An empty take (or alreadySaved) renames the newest saved idea instead.
  // `takeNumber` is the composition take the notes are, if they are one.
  void startNaming(std::vector<RNote> take, bool alreadySaved, std::optional<int> takeNumber);
  void nameKey(std::uint8_t byte);
  void finishNaming();
  // The spoken request to save under a name.
  void saveNamed(const std::string& name);
  // Going home ends a name half typed, quietly.
  void stop();

 private:
  void finish(bool spoken);

  RoomServices& engine_;
  Parts parts_;
  std::atomic<bool> active_{false};
  TypedEntry entry_;  // the name's bytes as typed
  std::vector<RNote> namingTake_;
  std::optional<int> takeNumber_;
};

}  // namespace orvo
