#pragma once
// Home: the menu of everything the system can do, stepped through with the
// third and fourth keys and opened with the top key. The menu is one table of
// titles and actions; a later mode adds its row here.

#include <functional>
#include <string>
#include <vector>

#include "engine/room.h"

namespace orvo {

class Engine;
class StudioHost;

class HomeRoom final : public Room {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    StudioHost& studio;
  };
  HomeRoom(Engine& engine, Parts parts);

  Mode mode() const override { return Mode::idle; }
  void leave() override { index_ = 0; }
  bool button(int key) override;
  void note(int pitch) override;
  std::string helpText() override;

  std::vector<std::string> titles();

 private:
  struct Item {
    std::function<std::string()> title;
    std::function<void()> open;
    // Offered only while this holds (a studio that is not running is never offered).
    std::function<bool()> shown = [] { return true; };
  };
  // The items offered now, in order.
  std::vector<const Item*> offered();

  Engine& engine_;
  Parts parts_;
  std::vector<Item> items_;
  int index_ = 0;
  bool heardPiano_ = false;  // the first note heard at home is answered, once a run
};

}  // namespace orvo
