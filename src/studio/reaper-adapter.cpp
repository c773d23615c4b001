#include "studio/reaper-adapter.h"

#include "studio/reaper-link.h"
#include "studio/reaper-snapshot.h"

namespace orvo {

std::optional<DawState> ReaperAdapter::state() {
  auto answer = Reaper::sendList({"snapshot"}, 3.0);
  if (!answer) return std::nullopt;
  return parseSnapshot(*answer);
}

std::optional<std::string> ReaperAdapter::send(const std::vector<std::string>& args,
                                               double timeout) {
  return Reaper::sendList(args, timeout);
}

std::string ReaperAdapter::spokenFx(const std::string& name) {
  return Reaper::spoken(name);
}

bool ReaperAdapter::newProject() {
  // REAPER's own action "File: New project".
  return send({"action", "40023"}, 5.0).has_value();
}

}  // namespace orvo
