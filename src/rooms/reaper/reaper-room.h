#pragma once
// REAPER from the piano: opening it (the bridge installed, REAPER started in
// the background, its answer waited for), then its functions as a spoken
// menu of screens kept on a stack. A screen is built and an item carried out
// in an activity, off the engine's lock; what comes back is taken under the
// lock only while the stack it was asked from still shows. An item may ask
// for a typed line: the next line the window types goes to it.
//
// Threads: the Room members, openReaper and typed with Engine::lock held (the
// rooms' rule); the hooks run in activities only.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/room.h"
#include "studio/reaper-hooks.h"
#include "studio/reaper-menu.h"

namespace orvo {

class RoomServices;

class ReaperRoom final : public Room {
 public:
  ReaperRoom(RoomServices& engine, ReaperHooks hooks);

  Mode mode() const override { return Mode::reaper; }
  void leave() override;
  bool button(int key) override;
  // Stopping everything leaves REAPER control, as going home does.
  bool stop() override;
  std::string helpText() override;

  void openReaper();
  // A typed line while a prompt waits: true when it was taken.
  bool typed(const std::string& line);

  const std::vector<RScreen>& screens() const { return reaperStack_; }
  // How REAPER is found and asked; the hooks may block, so activities only.
  const ReaperHooks& hooks() const { return hooks_; }

 private:
  void choose();
  // Runs an item's work in an activity and takes its outcome back under the lock.
  void carryOut(std::function<ROut()> work);
  void apply(const ROut& out, int gen, std::optional<RScreen> under);

  RoomServices& engine_;
  ReaperHooks hooks_;
  std::vector<RScreen> reaperStack_;
  std::function<ROut(const std::string&)> typedThen_;  // the prompt waiting for a line
  int typedScreen_ = -1;                               // the stack's state the prompt was asked in
  int shown_ = 0;                                      // counts the changes of the stack
};

}  // namespace orvo
