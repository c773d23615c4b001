#pragma once
// The studio model's adapter for REAPER: the snapshot and each command go
// through the process's REAPER link. Blocks for the link's time limits:
// activities only.

#include "studio/daw-model.h"

namespace orvo {

class ReaperAdapter final : public DawAdapter {
 public:
  std::string name() override { return "REAPER"; }
  std::optional<DawState> state() override;
  std::optional<std::string> send(const std::vector<std::string>& args, double timeout) override;
  bool newProject() override;
  std::string spokenFx(const std::string& name) override;
};

}  // namespace orvo
