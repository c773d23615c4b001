#pragma once
// Understanding spoken requests: one sentence (freed of the wake name by the
// listener, or typed) is normalised into a Heard and offered to the request
// families in a fixed order; the first that takes it acts. Then the learned
// meanings, the loose rules, small talk, and when nothing matched a theory
// answer or a guess at what was meant ("Did you mean, ...?").
//
// Threads: hear() comes from the listener's timers, the key reader and
// activities. All state here is engine state, read and written under the
// engine's lock; actions that speak start engine activities.

#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/opt.h"
#include "voice/heard.h"

namespace orvo {

class Engine;
class Store;
class SpeechOutput;

class Requests {
 public:
  using Trace = std::function<void(const std::string&)>;
  // A handler that may claim a sentence: its outcome, or nothing to pass it on.
  using Handler = std::function<std::optional<std::string>(const Heard&)>;

  // The parts of the program this uses besides the engine.
  struct Parts {
    SpeechOutput& speaker;
    Store& store;
    Opt opt;
    std::function<double()> wallClock;  // seconds since 1970
  };
  Requests(Engine& engine, Parts parts);

  // The outcome word: "ignored" when a casual remark was no request, else
  // what was done ("echo", "no daw", "no song", "no app", "corrected",
  // "not yet", "said", "acted", "asked" ...). Only ever logged.
  std::string hear(const std::string& text);
  // A request the AI named: heard once more through the rules, never sent to
  // the AI again, and silent when the rules cannot do it (the caller says so).
  std::string hearAgain(const std::string& request);
  // A sentence the studio looked at and did not take: heard by the families
  // after the studio's, as if the studio had passed it on at once. `depth`
  // is the depth the studio was handed it at.
  std::string hearPastStudio(const std::string& text, int depth);

  // The answer to the bare name.
  std::string wakeReply();

  // A question waiting for a yes: the request a yes hears, for 20 s.
  void ask(const std::string& question, const std::string& onYes);
  // The same, with an action for the yes (a studio change kept for it);
  // `what` names it in the trace. The outcome is the action's.
  // `onNo`, when given, answers a no in place of "Okay, I'll leave it.".
  void confirm(const std::string& question, const std::string& what,
               std::function<std::string()> onYes, std::function<std::string()> onNo = nullptr);
  bool questionPending();
  void clearQuestion();

  // Meanings the player taught ("learned.json").
  void loadLearned();
  // Learns a meaning; with a `confirmation`, it is said only once the meaning is kept.
  void learn(const std::string& phrase, const std::string& means,
             const std::string& confirmation = "");
  const std::map<std::string, std::string>& learned() const { return learned_; }
  // One line of "mistakes.txt".
  void noteMistake(const std::string& description);

  // Sub-handlers, tried in the order joined, before the bare name.
  void addSubHandler(Handler handler) { subHandlers_.push_back(std::move(handler)); }

  // The routing trace: one line per decision; empty when not tracing.
  void setTrace(Trace trace) { trace_ = std::move(trace); }
  // The local time for the clock, the date and the greetings.
  void setClock(std::function<std::tm()> clock) { clock_ = std::move(clock); }

  // The closest guessable request, and how the question names it.
  static std::optional<std::pair<std::string, std::string>> closest(const Heard& heard);
  // A loose rule's request, with its number: (rule number, request).
  static std::optional<std::pair<int, std::string>> loosely(const Heard& heard);

 private:
  std::string hearAt(const std::string& text, int depth);
  std::string dispatch(const Heard& heard, int depth);
  // The families from the studio's on, then the learned and loose meanings,
  // small talk and the guess.
  std::string rest(const Heard& heard, int depth);
  // Thanks, greetings and "who are you"; nothing when it is none of them.
  std::optional<std::string> smallTalk(const Heard& heard);
  // "open <app>": which this system cannot do yet, or the app is not installed.
  std::optional<std::string> openApp(const Heard& heard);
  // Nothing understood it: a theory answer, the AI, the closest guess, or the
  // sentence saying there is no model.
  std::string notUnderstood(const Heard& heard);
  std::optional<std::string> correction(const Heard& heard, int depth);
  // The families in their order (request-families.cpp), tried in turn.
  std::optional<std::string> family(const Heard& heard, int depth);
  struct Asked;
  struct NamedFamily {
    const char* name;
    std::optional<std::string> (*hear)(Requests& requests, const Asked& asked);
  };
  static const std::vector<NamedFamily>& families();
  friend struct RequestFamilies;
  static std::string openStudioFirst();
  // Said once a request went round in circles: the depth cap's answer.
  std::string tooDeep(const std::string& text);
  std::string say(const std::string& sentence, const std::string& outcome = "said");
  std::string notYet(const std::string& operation);
  // A new project in Logic Pro, else in REAPER, in an activity.
  std::string newProject();
  void op(const std::string& name);
  void trace(const std::string& line);
  std::string playerName();
  bool casual();

  Engine& engine_;
  Parts parts_;
  Trace trace_;
  std::function<std::tm()> clock_;
  std::vector<Handler> subHandlers_;

  // The sentence last spoken, normalised once.
  std::string spokenKey_;
  std::string spokenText_;
  // What a yes does, and until when.
  std::function<std::string()> pendingYes_;
  std::function<std::string()> pendingNo_;
  double pendingUntil_ = 0.0;
  std::map<std::string, std::string> learned_;
  std::string lastRequest_;
  std::optional<std::string> correcting_;
  bool secondPass_ = false;
  bool pastStudio_ = false;
  double lastWakeAt_ = -100.0;
  std::string lastWakeReply_;
  int wakeCount_ = 0;
};

}  // namespace orvo
