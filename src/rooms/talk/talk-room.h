#pragma once
// Talk mode: middle C, D, E, F and G each say a sentence in piano notes.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/room.h"
#include "sound/ev.h"

namespace orvo {

class RoomServices;
class Store;

class TalkRoom final : public Room {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    std::function<std::optional<std::vector<Ev>>(const std::string&)> pianoSpeech;
    Store& store;  // the data folder's "sentences.txt"
  };
  TalkRoom(RoomServices& engine, Parts parts);

  Mode mode() const override { return Mode::talk; }
  void leave() override {}  // a sentence being played stops with the press that left
  void note(int pitch) override;
  std::string helpText() override;

  // The sentence of each key (for the window and tests).
  std::map<int, std::string> sentences();

 private:
  void load();

  RoomServices& engine_;
  Parts parts_;
  std::map<int, std::string> sentences_;
  std::map<int, std::vector<Ev>> cache_;  // each sentence's notes, once worked out
};

}  // namespace orvo
