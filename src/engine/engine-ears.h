#pragma once
// The engine as the listener sees it (EarsLink): the speaking state published
// apart from the engine's lock, requests heard, interruptions, chimes and
// window lines.

#include "voice/ears-link.h"

namespace orvo {

class Engine;

class EngineEars final : public EarsLink {
 public:
  explicit EngineEars(Engine& engine) : engine_(engine) {}

  Speaking speaking() override;
  bool naming() override;
  std::string hear(const std::string& request, bool casual, bool guessedName) override;
  void interrupt() override;
  void duck(bool on) override;
  void chime(const std::vector<int>& notes, int velocity, double hold) override;
  void ui(std::string_view line) override;

 private:
  Engine& engine_;
};

}  // namespace orvo
