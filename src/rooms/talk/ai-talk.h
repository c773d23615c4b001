#pragma once
// Talking with a language model: a sentence no rule understood, a typed
// question (ask mode, the "a" key), the model's thoughts on a piece. While
// the model works a filler sentence covers the wait; an answer in words is
// spoken and kept in the conversation, and an answer "DO: " + a request is
// performed through the rules (and learned, so the next time needs no model).
//
// Threads: the entry points run with the engine lock held and start
// activities; the model is asked in the activity with no lock held.
// typingQuestion() is read by the key reader without the lock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/typed-entry.h"
#include "platform/opt.h"
#include "voice/assistant.h"

namespace orvo {

class RoomServices;
class Window;
class Runtime;
class Ears;

class AiTalk {
 public:
  // The parts of the program this uses besides the engine.
  struct Parts {
    Runtime& runtime;
    Window& window;
    Opt opt;
    std::function<double()> wallClock;  // seconds since 1970
    Ears& ears;                         // told when a question of ours waits for its answer
  };
  AiTalk(RoomServices& engine, Parts parts, Assistant& assistant);

  // A model can answer now, and this is not a request the model itself named.
  bool canAsk();
  // The sentence for no model at all, or for a tool that is not signed in.
  std::string noModelSentence();

  void finishAsk(const std::string& question);
  // The "a" key and the home menu's "Ask me anything": a question typed.
  void startAsk();
  bool typingQuestion() const { return typing_; }
  void askKey(std::uint8_t byte);

  std::string aiContext();
  std::string aiState();
  // The model's remark on a description of what was just played.
  void aiThoughts(const std::string& description);
  // A remark 4.5 s after playing, unless more is played or composition ends.
  void armRemark();

  std::vector<std::string> conversation();
  // Whether a question needs looking up (news, weather, who or when ...).
  static bool needsLookingUp(const std::string& question);
  // A "DO: " answer as the request it names.
  static std::string requestOf(const std::string& answer);

 private:
  void answer(int gen, const std::string& question, const std::string& reply);

  RoomServices& engine_;
  Parts parts_;
  Assistant& assistant_;
  std::vector<std::string> talk_;  // "You: " + question, then the answer
  std::atomic<int> askToken_{0};
  int remarkToken_ = 0;
  std::atomic<bool> typing_{false};
  TypedEntry entry_;
};

}  // namespace orvo
