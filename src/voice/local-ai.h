#pragma once
// The on-device language model, behind an interface: Linux has none, so the
// real one is never available; tests give a double.
//
// Threads: ask() blocks its activity; any thread.

#include <string>

namespace orvo {

class LocalAI {
 public:
  virtual ~LocalAI() = default;
  virtual bool available() = 0;
  virtual void prewarm() = 0;
  virtual std::string ask(const std::string& question, const std::string& instructions) = 0;
};

class NoLocalAI final : public LocalAI {
 public:
  bool available() override { return false; }
  void prewarm() override {}
  std::string ask(const std::string&, const std::string&) override { return ""; }
};

}  // namespace orvo
