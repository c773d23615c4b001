#pragma once
// Logic Pro from the piano: a spoken list of quick commands stepped through
// with the button keys, whose last item opens every menu of Logic as a spoken
// tree; the quick spoken commands while Logic runs and REAPER does not; and a
// new Logic project. Every script runs in an activity, off the engine's lock,
// and what it found is taken back under the lock only while the same list is
// still shown.
//
// Threads: the Room members, openLogic and logicHear with Engine::lock held
// (the rooms' rule); newProject blocks on its script, so it is called from
// an activity.

#include <optional>
#include <string>
#include <vector>

#include "engine/room.h"
#include "studio/logic-control.h"
#include "voice/heard.h"

namespace orvo {

class RoomServices;
class Runtime;

class LogicRoom final : public Room {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
  };
  LogicRoom(RoomServices& engine, Parts parts, LogicControl::Runner runner);

  Mode mode() const override { return Mode::logic; }
  void leave() override;
  bool button(int key) override;
  std::string helpText() override;

  // Saves a take first, then shows the quick list.
  void openLogic();
  // A quick spoken command ("record", "undo", "new track" ...); nothing when
  // the sentence names none, else the outcome word.
  std::optional<std::string> logicHear(const Heard& heard);
  // The new project: the sentence to say and whether one exists now.
  LogicNewProjectAnswer newProject();

  LogicControl& control() { return control_; }
  const std::vector<std::string>& items() const { return logicItems_; }

 private:
  void showQuickList();
  void speakItem(const std::string& prefix);
  void choose();
  void loadLogicMenu(std::vector<std::string> entering, bool back);
  void sendQuick(const LogicQuick& quick, const std::string& success);

  RoomServices& engine_;
  Parts parts_;
  LogicControl control_;
  std::vector<std::string> logicItems_;
  int logicIdx_ = 0;
  std::optional<std::vector<std::string>> logicPath_;  // none while the quick list shows
  int shown_ = 0;  // counts the lists shown, so a late listing never lands on a newer one
};

}  // namespace orvo
