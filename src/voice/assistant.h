#pragma once
// What the engine asks of a language model, whichever route answers: the
// long-lived session, the one-shot question, the on-device model. The real
// one is AISession; tests give a double on the virtual clock.
//
// Threads: ask() and askOnce() block their activity; the rest return at once.

#include <string>

namespace orvo {

class Assistant {
 public:
  virtual ~Assistant() = default;
  // Some route can answer now.
  virtual bool ready() = 0;
  // The tool is installed, signed in or not.
  virtual bool toolPresent() = 0;
  virtual bool signedOut() = 0;
  // The cleaned answer ("DO: ..." for a command), "" when none came.
  virtual std::string ask(const std::string& question, const std::string& state) = 0;
  virtual std::string askOnce(const std::string& question, const std::string& context) = 0;
};

// No model at all.
class NoAssistant final : public Assistant {
 public:
  bool ready() override { return false; }
  bool toolPresent() override { return false; }
  bool signedOut() override { return false; }
  std::string ask(const std::string&, const std::string&) override { return ""; }
  std::string askOnce(const std::string&, const std::string&) override { return ""; }
};

}  // namespace orvo
