#pragma once
// The engine's side of the studio: whether one is in use, the spoken studio
// assistant over the one Daw, and the way of working the player chose. A
// sentence is taken on the request path but heard against the project off
// the engine's lock (reading the project waits on the studio for up to 3 s,
// and the notes must never wait that long); one it does not understand goes
// back to the other request families. A change or a plan runs as an
// activity, one at a time, and its result is spoken; a failure is noted as a
// mistake. A plan stops at its next step once a newer activity has started.
//
// Threads: hear() and questionPending() with the engine's lock held; the
// rest from any thread. The desk never takes the engine's lock while it
// holds its own.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/mutex.h"
#include "platform/repeating-check.h"
#include "platform/runtime.h"
#include "studio/daw-understand.h"
#include "studio/daw-ways.h"
#include "studio/daw.h"
#include "voice/heard.h"

namespace orvo {

class Engine;

class StudioDesk {
 public:
  StudioDesk(Engine& engine, DawAdapter& adapter);
  ~StudioDesk();

  // A studio is open: the pretend one, REAPER, or Logic Pro.
  bool inUse() const;
  // REAPER is in use, so the assistant hears sentences first (Logic Pro
  // alone leaves them to the others until its quick commands exist).
  bool listening() const;
  // Logic Pro ran at the last look.
  bool logicRunning() const { return logicRunning_; }
  // The request dispatcher's studio step, while listening: the outcome word.
  // A sentence that is no studio request is passed back to the dispatcher.
  std::string hear(const Heard& heard);
  // "Which one?" is waiting for its answer.
  bool questionPending();

  DawMode mode() const { return mode_; }
  // Kept in "daw-mode.txt".
  void setMode(DawMode mode);

  // One look at which studios run (each look may take seconds): the built-in
  // sound leaves the piano's notes to Logic Pro while it runs, and the window
  // hears "daw 1" or "daw 0" when that changes.
  void checkStudios();
  // checkStudios at once and every 5 s after, on the global queue.
  void startChecks();

  void perform(DawOp op);
  void runPlan(std::vector<PlanStep> steps);

  // Understanding reads the assistant's memory (the last track, the
  // history) between requests.
  Daw& daw() { return daw_; }

 private:
  // Hears the sentence in an activity (at once in the fast mode, with the
  // outcome; else "studio").
  std::string start(const std::string& text, std::optional<std::string> answering, bool confirmed);
  // Reads the project and understands the sentence (with the question it
  // answers, if any), then acts; the outcome word.
  std::string listen(int gen, const std::string& text, std::optional<std::string> answering,
                     bool confirmed);
  // `confirmed`: the player has said yes to this sentence already.
  std::string act(int gen, const std::string& text, const DawAsk& ask, bool confirmed);
  // Runs the change as an activity under the desk's lock, then logs, notes
  // a failure and says the result.
  void carry(std::function<DawResult(int gen)> change);
  void carry(const DawAsk& ask);

  Engine& engine_;
  // Held for a whole change: two activities never interleave their steps,
  // and each step's exchanges hold the link's own lock as well.
  Mutex busy_;
  Daw daw_;
  std::atomic<DawMode> mode_{DawMode::assisted};
  std::atomic<bool> reaperRunning_{false};
  std::atomic<bool> logicRunning_{false};
  // The first look tells the window either way.
  std::atomic<bool> looked_{false};

  // Under the engine's lock: the sentence a "Which one?" asked about.
  std::optional<std::string> asked_;
  double askedUntil_ = 0.0;

  // Last, so it stops before anything a check uses goes.
  RepeatingCheck checks_;
};

}  // namespace orvo
